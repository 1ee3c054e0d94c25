// The entry of the player module: the kit's executable loads the four players, and with them
// the media layer and its libraries (FFmpeg, FluidSynth, SDL, libcdio), only when the main menu
// first opens one of them. The module takes the shell it builds on (windows, navigation, the
// handler guard) from the executable that loaded it. With the first player the kit also joins
// the session bus as a media player, so that media keys reach the player used last: before a
// player has opened there is nothing for them to act on.

#include "app/PlayerModuleInterface.h"
#include "app/WindowRegistry.h"
#include "desktop/MprisService.h"
#include "players/AviViewerWindow.h"
#include "players/CdPlayerWindow.h"
#include "players/MidiPlayerWindow.h"
#include "players/WavPlayerWindow.h"

extern "C" Q_DECL_EXPORT zyr::DesignedWindow *zyrMakePlayerWindow(int windowClass,
                                                                  zyr::WindowRegistry *registry)
{
    static bool mediaKeysStarted = false;
    if (!mediaKeysStarted) {
        mediaKeysStarted = true;
        // It lives as long as the main menu, which the registry keeps until the program ends.
        // Without a session bus the kit simply runs without media keys.
        auto *mediaKeys = new zyr::desktop::MprisService(
            *registry, &registry->get(zyr::WindowClass::MainMenu));
        mediaKeys->start();
    }
    switch (static_cast<zyr::WindowClass>(windowClass)) {
    case zyr::WindowClass::AviViewer:
        return new zyr::AviViewerWindow(*registry);
    case zyr::WindowClass::CdPlayer:
        return new zyr::CdPlayerWindow(*registry);
    case zyr::WindowClass::WavPlayer:
        return new zyr::WavPlayerWindow(*registry);
    case zyr::WindowClass::MidiPlayer:
        return new zyr::MidiPlayerWindow(*registry);
    default:
        return nullptr;
    }
}
