#pragma once

#include "app/KitWindow.h"

namespace zyr {

// frmMidi, the MIDI player. Its File, Exit hides the window first and then shows the main menu.
class MidiPlayerWindow : public KitWindow {
    Q_OBJECT
public:
    explicit MidiPlayerWindow(WindowRegistry &registry);

    static WindowDesign design();

    void mnuExit_Click();

protected:
    ReturnOrder returnOrder() const override { return ReturnOrder::HideThenShow; }
};

} // namespace zyr
