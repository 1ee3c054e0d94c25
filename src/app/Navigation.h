#pragma once
// The one way of moving between windows. Both halves reach their windows through the registry,
// the window a handler belongs to included.

#include "app/WindowClass.h"

namespace zyr {

class WindowRegistry;

// From the main menu to another window: get the target (created on first use), show it, get
// the main menu, hide it.
void navigateForward(WindowRegistry &registry, WindowClass target);

enum class ReturnOrder {
    ShowThenHide, // every Exit and Main Menu entry
    HideThenShow  // the MIDI player's File, Exit
};

// From a player or the About window back to the main menu.
void navigateBack(WindowRegistry &registry, WindowClass leaving,
                  ReturnOrder order = ReturnOrder::ShowThenHide);

// Stops the program at once (the main menu's Exit).
void endProgram();

} // namespace zyr
