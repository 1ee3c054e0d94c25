#pragma once
// What the kit does with a medium named from outside (OutsideMedium.h): the main menu's forward
// navigation to the player that plays it, where it opens as the player's File, Open opens the
// file the user picks (the same captions, and the same box when it fails) and then plays as the
// player's Play does. A medium the kit has no player for shows the main menu and a box titled
// "Error" with "Can't open " and the path. UI thread only.

#include <QString>

namespace zyr {

class WindowRegistry;

// Carries it out now, inside the caller's handler.
void openFromOutside(WindowRegistry &registry, const QString &fileOrUri);

// Carries it out as a handler of its own, through the handler guard: once the caller has
// returned (an answer over the bus or the end of a drop must not wait for a message box), and
// only while no modal dialog or message box is open, so that it never runs inside another
// handler. Dropped if the registry's windows are gone by then.
void openFromOutsideSoon(WindowRegistry &registry, const QString &fileOrUri);

// Brings the kit to the front, as a second start without a medium asks: the windows the kit
// shows are raised; with none shown, the main menu. Soon, as above.
void raiseKitSoon(WindowRegistry &registry);

} // namespace zyr
