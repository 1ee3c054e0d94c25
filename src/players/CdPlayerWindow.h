#pragma once

#include "app/KitWindow.h"

namespace zyr {

// frmCD, the audio CD player.
class CdPlayerWindow : public KitWindow {
    Q_OBJECT
public:
    explicit CdPlayerWindow(WindowRegistry &registry);

    static WindowDesign design();

    void cmdExit_Click();
};

} // namespace zyr
