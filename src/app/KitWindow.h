#pragma once

#include "app/DesignedWindow.h"
#include "app/Navigation.h"
#include "app/WindowClass.h"

namespace zyr {

class WindowRegistry;

// A window of the kit: a designed window that knows the registry it lives in and its own
// class, so that its handlers reach windows (itself included) through the registry. Closing
// it with the title-bar button does its return navigation; the main menu ends the program.
class KitWindow : public DesignedWindow {
    Q_OBJECT
public:
    KitWindow(WindowRegistry &registry, WindowClass windowClass, const WindowDesign &design);

    // Opens `path`, named from outside the kit, as the window's File, Open opens the file the
    // user picks, and when it opened plays it as the window's Play does. Windows that play
    // nothing ignore it.
    virtual void openAndPlay(const QString &path) { Q_UNUSED(path); }

protected:
    WindowRegistry &registry() const { return m_registry; }
    WindowClass windowClass() const { return m_windowClass; }

    // The window's way back to the main menu, as its Exit or Main Menu entry does it.
    virtual ReturnOrder returnOrder() const { return ReturnOrder::ShowThenHide; }
    void returnToMainMenu() { navigateBack(m_registry, m_windowClass, returnOrder()); }

    void closeRequested() override;

    // Lets the user drop files anywhere on the window, its text boxes included: the first file
    // of a drop goes to fileDropped(), as a handler of its own once the drop has ended; a
    // player opens and plays it.
    void acceptFileDrops();
    virtual void fileDropped(const QString &path) { openAndPlay(path); }

    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    WindowRegistry &m_registry;
    WindowClass m_windowClass;
};

} // namespace zyr
