#include "app/KitWindows.h"

#include "players/AviViewerWindow.h"
#include "players/CdPlayerWindow.h"
#include "players/MidiPlayerWindow.h"
#include "players/WavPlayerWindow.h"
#include "windows/AboutWindow.h"
#include "windows/MainMenuWindow.h"

namespace zyr {

namespace {

template <typename Window> WindowFactory factory()
{
    return [](WindowRegistry &registry) -> std::unique_ptr<DesignedWindow> {
        return std::make_unique<Window>(registry);
    };
}

} // namespace

WindowRegistry::Factories kitWindowFactories()
{
    WindowRegistry::Factories f;
    f[static_cast<std::size_t>(WindowClass::MainMenu)] = factory<MainMenuWindow>();
    f[static_cast<std::size_t>(WindowClass::AviViewer)] = factory<AviViewerWindow>();
    f[static_cast<std::size_t>(WindowClass::CdPlayer)] = factory<CdPlayerWindow>();
    f[static_cast<std::size_t>(WindowClass::WavPlayer)] = factory<WavPlayerWindow>();
    f[static_cast<std::size_t>(WindowClass::MidiPlayer)] = factory<MidiPlayerWindow>();
    f[static_cast<std::size_t>(WindowClass::About)] = factory<AboutWindow>();
    return f;
}

} // namespace zyr
