#include "players/CdPlayerWindow.h"

#include "app/HandlerGuard.h"

#include <QPushButton>

namespace zyr {

WindowDesign CdPlayerWindow::design()
{
    WindowDesign d;
    d.name = QStringLiteral("frmCD");
    d.caption = QStringLiteral("The ZYR Multimedia CD Player");
    d.clientWidth = 4680;
    d.clientHeight = 3195;
    d.controls = {
        commandButton(QStringLiteral("cmdExit"), 2760, 1560, 1575, 375, 2, QStringLiteral("E&xit")),
        picture(QStringLiteral("Image1"), 1800, 240, 750, 750,
                QStringLiteral(":/pictures/disc-rainbow.gif")),
    };
    return d;
}

CdPlayerWindow::CdPlayerWindow(WindowRegistry &registry)
    : KitWindow(registry, WindowClass::CdPlayer, design())
{
    connectHandler(control<QPushButton>("cmdExit"), &QPushButton::clicked, this,
                   &CdPlayerWindow::cmdExit_Click);
}

void CdPlayerWindow::cmdExit_Click()
{
    returnToMainMenu();
}

} // namespace zyr
