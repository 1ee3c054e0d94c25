#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace zyr {

// The modal message box the windows show: a critical-stop icon, one OK button, a title and a
// text. Tests replace the box with a presenter that records what would have been shown.
class MessageBox {
public:
    using Presenter = std::function<void(const QString &text, const QString &title)>;

    // Shows the box and returns when the user has dismissed it. UI thread.
    static void critical(QWidget *parent, const QString &text, const QString &title);

    // Replaces the box (tests); an empty function restores it.
    static void setPresenter(Presenter presenter);
};

} // namespace zyr
