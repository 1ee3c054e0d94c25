#pragma once
// What the kit's executable and its player module agree on: the one function the module
// exports, by this name, which makes a new player window of a window class (AviViewer,
// CdPlayer, WavPlayer or MidiPlayer) for `registry`, owned by the caller; nullptr for any other
// class. UI thread only.

#include "app/WindowClass.h"

namespace zyr {
class DesignedWindow;
class WindowRegistry;
} // namespace zyr

// The file name of the module without prefix and suffix, and its entry's symbol.
inline constexpr char kPlayerModuleName[] = "zyr-kit-players";
inline constexpr char kPlayerModuleEntry[] = "zyrMakePlayerWindow";

using PlayerWindowMaker = zyr::DesignedWindow *(*)(int windowClass, zyr::WindowRegistry *registry);
