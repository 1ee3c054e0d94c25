#pragma once

#include "app/KitWindow.h"

namespace zyr {

// frmAbout: the notice about the kit (name and freeware, programmer, version, contact, web
// address) and one button, Main Menu, that leads back.
class AboutWindow : public KitWindow {
    Q_OBJECT
public:
    explicit AboutWindow(WindowRegistry &registry);

    static WindowDesign design();

    void cmdBack_Click();
};

} // namespace zyr
