#include "app/KitWindow.h"

#include "app/HandlerGuard.h"

#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

namespace zyr {

namespace {

// The file a drag carries first; empty when its first item is no local file.
QString firstDraggedFile(const QMimeData *data)
{
    const QList<QUrl> urls = data ? data->urls() : QList<QUrl>();
    return !urls.isEmpty() && urls.front().isLocalFile() ? urls.front().toLocalFile() : QString();
}

} // namespace

KitWindow::KitWindow(WindowRegistry &registry, WindowClass windowClass, const WindowDesign &design)
    : DesignedWindow(design), m_registry(registry), m_windowClass(windowClass)
{
}

void KitWindow::closeRequested()
{
    if (m_windowClass == WindowClass::MainMenu)
        endProgram();
    else
        returnToMainMenu();
}

void KitWindow::acceptFileDrops()
{
    setAcceptDrops(true);
    // A text box would take the file's name as text instead.
    for (QLineEdit *box : findChildren<QLineEdit *>())
        box->setAcceptDrops(false);
}

void KitWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!firstDraggedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void KitWindow::dropEvent(QDropEvent *event)
{
    const QString path = firstDraggedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    // The program the file came from waits for the drop to end: what follows (a message box
    // included) runs after it has.
    QTimer::singleShot(0, this, [this, path] { guardHandler([&] { fileDropped(path); }); });
}

} // namespace zyr
