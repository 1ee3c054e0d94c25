// The ZYR Multimedia Kit: the platform creates the start-up window, the main menu, through the
// window registry and shows it; from then on everything happens in event handlers. The players,
// the media libraries and the media keys are loaded when the main menu first opens a player
// (StartUpWindows.h).

#include "app/ApplicationSetup.h"
#include "app/DesignedWindow.h"
#include "app/Program.h"
#include "app/QtMessages.h"
#include "app/StartUpWindows.h"
#include "app/WindowRegistry.h"

#include <QApplication>

int main(int argc, char **argv)
{
#ifdef QT_NO_DEBUG
    // A release run logs nothing (QtMessages.h); a debug build keeps Qt's warnings for its
    // developers.
    qInstallMessageHandler(&zyr::dropQtMessages);
#endif
    QApplication app(argc, argv);
    zyr::setUpApplication(app);

    zyr::WindowRegistry registry(zyr::startUpWindowFactories());
    zyr::WindowRegistry::show(registry.get(zyr::WindowClass::MainMenu));
    const int status = zyr::Program::ending() ? zyr::Program::exitStatus() : app.exec();
    return status;
}
