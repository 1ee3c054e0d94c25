// The entry of the player module: the kit's executable loads the four players, and with them
// the media layer and its libraries (FFmpeg, FluidSynth, SDL, libcdio), only when the main menu
// first opens one of them. The module takes the shell it builds on (windows, navigation, the
// handler guard) from the executable that loaded it.

#include "app/PlayerModuleInterface.h"
#include "players/AviViewerWindow.h"
#include "players/CdPlayerWindow.h"
#include "players/MidiPlayerWindow.h"
#include "players/WavPlayerWindow.h"

extern "C" Q_DECL_EXPORT zyr::DesignedWindow *zyrMakePlayerWindow(int windowClass,
                                                                  zyr::WindowRegistry *registry)
{
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
