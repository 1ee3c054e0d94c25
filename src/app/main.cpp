// The ZYR Multimedia Kit: the platform creates the start-up window, the main menu, through the
// window registry and shows it; from then on everything happens in event handlers. The players,
// the media libraries and the media keys are loaded when the main menu first opens a player
// (StartUpWindows.h).
//
// zyr-kit [OPTIONS] [FILE-OR-URI] (CommandLine.h): a medium named on the command line goes, once
// the main menu shows, to its player and plays (OpenFromOutside.h). When a kit already runs on
// this desktop, the start hands the medium over to it and ends (ApplicationBusService.h).

#include "app/ApplicationBusService.h"
#include "app/ApplicationSetup.h"
#include "app/CommandLine.h"
#include "app/DesignedWindow.h"
#include "app/OpenFromOutside.h"
#include "app/OutsideMedium.h"
#include "app/Program.h"
#include "app/QtMessages.h"
#include "app/StartUpWindows.h"
#include "app/WindowRegistry.h"

#include <QApplication>

int main(int argc, char **argv)
{
    if (const std::optional<int> status = zyr::answerCommandLineAtOnce(argc, argv))
        return *status;
#ifdef QT_NO_DEBUG
    // A release run logs nothing (QtMessages.h); a debug build keeps Qt's warnings for its
    // developers.
    qInstallMessageHandler(&zyr::dropQtMessages);
#endif
    QApplication app(argc, argv);
    const std::variant<QString, int> medium =
        zyr::mediumOnCommandLine(QCoreApplication::arguments());
    if (const int *status = std::get_if<int>(&medium))
        return *status;
    const QString &named = std::get<QString>(medium);
    zyr::setUpApplication(app);

    zyr::WindowRegistry registry(zyr::startUpWindowFactories());
    // Declared after the registry: the name is given up before the windows and their media go.
    zyr::ApplicationBusService onTheBus(
        [&registry](const QString &uri) { zyr::openFromOutsideSoon(registry, uri); },
        [&registry] { zyr::raiseKitSoon(registry); });
    if (onTheBus.start(QDBusConnection::sessionBus(),
                       named.isEmpty() ? QString() : zyr::mediumUri(named)) ==
        zyr::ApplicationBusService::Role::HandedOver)
        return 0;

    zyr::WindowRegistry::show(registry.get(zyr::WindowClass::MainMenu));
    if (!named.isEmpty())
        zyr::openFromOutsideSoon(registry, named);
    const int status = zyr::Program::ending() ? zyr::Program::exitStatus() : app.exec();
    return status;
}
