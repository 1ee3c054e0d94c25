#pragma once

#include "app/KitWindow.h"

namespace zyr {

// frmkivo, the main menu: the start-up window and hub of the kit. Four rows (picture and label)
// and the File menu lead to the four players, Help, About to the About window; Exit ends the
// program. It has no state of its own. A file dropped on it goes to the player that plays it,
// as a medium named on the command line does.
class MainMenuWindow : public KitWindow {
    Q_OBJECT
public:
    explicit MainMenuWindow(WindowRegistry &registry);

    static WindowDesign design();

    void Image1_Click();
    void Label2_Click();
    void mnuAvi_Click();
    void Image2_Click();
    void Label3_Click();
    void mnuCd_Click();
    void Image3_Click();
    void Label4_Click();
    void mnuWav_Click();
    void Image4_Click();
    void Label5_Click();
    void mnuMidi_Click();
    void mnuAbout_Click();
    void cmdExit_Click();
    void mnuExit_Click();

protected:
    void fileDropped(const QString &path) override;
};

} // namespace zyr
