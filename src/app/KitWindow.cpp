#include "app/KitWindow.h"

namespace zyr {

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

} // namespace zyr
