#pragma once
// The window factories of the kit's executable. The main menu and the About window are made
// at once; the four players come from the player module (PlayerModuleInterface.h), which is
// loaded with the media libraries when the first player window is made, so that the kit
// starts without them. The tests link the players directly (KitWindows.h) instead.

#include "app/WindowRegistry.h"

namespace zyr {

WindowRegistry::Factories startUpWindowFactories();

} // namespace zyr
