#pragma once

#include "app/KitWindow.h"

namespace zyr {

// frmPlayavi, the AVI movie viewer.
class AviViewerWindow : public KitWindow {
    Q_OBJECT
public:
    explicit AviViewerWindow(WindowRegistry &registry);

    static WindowDesign design();

    void mnuExit_Click();
};

} // namespace zyr
