#include "app/StartUpWindows.h"

#include "app/DesignedWindow.h"
#include "app/PlayerModuleInterface.h"
#include "windows/AboutWindow.h"
#include "windows/MainMenuWindow.h"

#include <QCoreApplication>
#include <QLibrary>

#include <stdexcept>

namespace zyr {

namespace {

// Where the module is looked for: beside the executable (the build tree), then where the
// install step puts it, relative to the executable's folder.
const char *const kModuleFolders[] = {"", "/" ZYR_PLAYER_MODULE_FROM_BINDIR};

// Loads the module on first use and returns its entry; throws when it cannot be loaded, which
// the handler that opened the player turns into a fatal error. The module stays loaded until
// the process ends.
PlayerWindowMaker playerWindowMaker()
{
    static PlayerWindowMaker maker = nullptr;
    if (maker)
        return maker;
    QStringList tried;
    for (const char *folder : kModuleFolders) {
        QLibrary module(QCoreApplication::applicationDirPath() + QLatin1String(folder) +
                        QLatin1Char('/') + QLatin1String(kPlayerModuleName));
        if (module.load()) {
            maker = reinterpret_cast<PlayerWindowMaker>(module.resolve(kPlayerModuleEntry));
            if (maker)
                return maker;
        }
        tried << module.errorString();
    }
    throw std::runtime_error("The players could not be loaded: " +
                             tried.join(QStringLiteral("; ")).toStdString());
}

template <typename Window> WindowFactory builtIn()
{
    return [](WindowRegistry &registry) -> std::unique_ptr<DesignedWindow> {
        return std::make_unique<Window>(registry);
    };
}

WindowFactory fromModule(WindowClass windowClass)
{
    return [windowClass](WindowRegistry &registry) -> std::unique_ptr<DesignedWindow> {
        std::unique_ptr<DesignedWindow> window(
            playerWindowMaker()(static_cast<int>(windowClass), &registry));
        if (!window)
            throw std::logic_error("The player module has no window of this class.");
        return window;
    };
}

} // namespace

WindowRegistry::Factories startUpWindowFactories()
{
    WindowRegistry::Factories f;
    f[static_cast<std::size_t>(WindowClass::MainMenu)] = builtIn<MainMenuWindow>();
    f[static_cast<std::size_t>(WindowClass::About)] = builtIn<AboutWindow>();
    for (WindowClass player : {WindowClass::AviViewer, WindowClass::CdPlayer,
                               WindowClass::WavPlayer, WindowClass::MidiPlayer})
        f[static_cast<std::size_t>(player)] = fromModule(player);
    return f;
}

} // namespace zyr
