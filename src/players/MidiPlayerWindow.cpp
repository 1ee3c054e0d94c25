#include "players/MidiPlayerWindow.h"

#include "app/HandlerGuard.h"

#include <QAction>

namespace zyr {

WindowDesign MidiPlayerWindow::design()
{
    WindowDesign d;
    d.name = QStringLiteral("frmMidi");
    d.caption = QStringLiteral("The ZYR Multimedia MIDI Player");
    d.clientWidth = 4680;
    d.clientHeight = 3195;
    d.menus = {{QStringLiteral("mnuFile"),
                QStringLiteral("&File"),
                {{QStringLiteral("mnuExit"), QStringLiteral("E&xit")}}}};
    d.controls = {
        line(QStringLiteral("Line1"), 0, 0, 4680, 0),
    };
    return d;
}

MidiPlayerWindow::MidiPlayerWindow(WindowRegistry &registry)
    : KitWindow(registry, WindowClass::MidiPlayer, design())
{
    connectHandler(menuItem("mnuExit"), &QAction::triggered, this,
                   &MidiPlayerWindow::mnuExit_Click);
}

void MidiPlayerWindow::mnuExit_Click()
{
    returnToMainMenu();
}

} // namespace zyr
