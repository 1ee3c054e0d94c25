#pragma once
// Answering a modal dialog that the code under test shows and waits on.

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace zyr::test {

// Hands the next modal dialog of type Dialog to `act`, from inside the dialog's own event loop;
// call it right before the code that shows the dialog. A dialog that `act` leaves open is
// rejected, so a failed check never leaves the test waiting on it.
template <typename Dialog> void whenModalShows(std::function<void(Dialog &)> act)
{
    QTimer::singleShot(0, [act = std::move(act)] {
        QPointer<Dialog> dialog;
        // The timer fires once the dialog's loop runs, so it is normally there at once; the
        // generous limit only ends a test whose code never showed it.
        const bool shown = QTest::qWaitFor(
            [&dialog] {
                dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
                return !dialog.isNull();
            },
            60000);
        if (!shown)
            return;
        act(*dialog);
        if (dialog && dialog->isVisible())
            dialog->reject();
    });
}

} // namespace zyr::test
