// The ZYR Multimedia Kit: the platform creates the start-up window, the main menu, through the
// window registry and shows it; from then on everything happens in event handlers. Where the
// desktop has a session bus, its media keys reach the player used last.

#include "app/ApplicationSetup.h"
#include "app/DesignedWindow.h"
#include "app/KitWindows.h"
#include "app/Program.h"
#include "app/WindowRegistry.h"
#include "desktop/MprisService.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    zyr::setUpApplication(app);

    zyr::WindowRegistry registry(zyr::kitWindowFactories());
    // Without a session bus the kit simply runs without media keys.
    zyr::desktop::MprisService mediaKeys(registry);
    mediaKeys.start();
    zyr::WindowRegistry::show(registry.get(zyr::WindowClass::MainMenu));
    const int status = zyr::Program::ending() ? zyr::Program::exitStatus() : app.exec();
    return status;
}
