#include "app/Navigation.h"

#include "app/Program.h"
#include "app/WindowRegistry.h"

namespace zyr {

void navigateForward(WindowRegistry &registry, WindowClass target)
{
    DesignedWindow &window = registry.get(target);
    WindowRegistry::show(window);
    DesignedWindow &mainMenu = registry.get(WindowClass::MainMenu);
    WindowRegistry::hide(mainMenu);
}

void navigateBack(WindowRegistry &registry, WindowClass leaving, ReturnOrder order)
{
    if (order == ReturnOrder::HideThenShow) {
        WindowRegistry::hide(registry.get(leaving));
        WindowRegistry::show(registry.get(WindowClass::MainMenu));
        return;
    }
    WindowRegistry::show(registry.get(WindowClass::MainMenu));
    WindowRegistry::hide(registry.get(leaving));
}

void endProgram()
{
    Program::end(0);
}

} // namespace zyr
