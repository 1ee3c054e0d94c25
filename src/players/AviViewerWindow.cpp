#include "players/AviViewerWindow.h"

#include "app/HandlerGuard.h"

#include <QAction>

namespace zyr {

WindowDesign AviViewerWindow::design()
{
    WindowDesign d;
    d.name = QStringLiteral("frmPlayavi");
    d.caption = QStringLiteral("The ZYR Multimedia AVI Viewer");
    d.clientWidth = 4680;
    d.clientHeight = 3195;
    d.menus = {{QStringLiteral("mnuFile"),
                QStringLiteral("&File"),
                {{QStringLiteral("mnuExit"), QStringLiteral("E&xit")}}}};
    d.controls = {
        line(QStringLiteral("Line1"), 0, 0, 4680, 0),
        picture(QStringLiteral("Image1"), 1320, 240, 1890, 1575,
                QStringLiteral(":/pictures/television.gif")),
    };
    return d;
}

AviViewerWindow::AviViewerWindow(WindowRegistry &registry)
    : KitWindow(registry, WindowClass::AviViewer, design())
{
    connectHandler(menuItem("mnuExit"), &QAction::triggered, this, &AviViewerWindow::mnuExit_Click);
}

void AviViewerWindow::mnuExit_Click()
{
    returnToMainMenu();
}

} // namespace zyr
