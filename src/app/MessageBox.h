#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace zyr {

// The modal message box the windows show: a critical-stop icon, one OK button, a title and a
// text. The text is shown as written, never read as markup: it often ends in a path, and a file
// may be called "<b>live</b>.wav". Tests replace the box with a presenter that records what
// would have been shown.
class MessageBox {
public:
    using Presenter = std::function<void(const QString &text, const QString &title)>;

    // Shows the box and returns when the user has dismissed it. UI thread.
    static void critical(QWidget *parent, const QString &text, const QString &title);

    // Replaces the box (tests); an empty function restores it.
    static void setPresenter(Presenter presenter);

    // The box itself, whatever presenter is set. UI thread.
    static void showCritical(QWidget *parent, const QString &text, const QString &title);
};

} // namespace zyr
