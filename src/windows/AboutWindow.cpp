#include "windows/AboutWindow.h"

#include "app/HandlerGuard.h"

#include <QPushButton>

namespace zyr {

WindowDesign AboutWindow::design()
{
    const FontDesign frameFont{QStringLiteral("MS Sans Serif"), 8.0, 700, false, false, false, 0};
    const QString frame1 = QStringLiteral("Frame1");

    WindowDesign d;
    d.name = QStringLiteral("frmAbout");
    d.caption = QStringLiteral("About The ZYR Multimedia Kit");
    d.clientWidth = 4680;
    d.clientHeight = 3195;
    d.controls = {
        withFont(frameFont, frame(frame1, 240, 240, 4215, 2775, -1,
                                  QStringLiteral("The ZYR Multimedia Kit - Freeware "))),
        inside(frame1, commandButton(QStringLiteral("cmdBack"), 1080, 1440, 1935, 495, 4,
                                     QStringLiteral("&Main Menu"))),
        inside(frame1, label(QStringLiteral("Label3"), 240, 2160, 3975, 495, 3,
                             QStringLiteral("        Visit: http://www.zyr.example/"))),
        inside(frame1, label(QStringLiteral("Label2"), 480, 960, 2895, 495, 2,
                             QStringLiteral("Contact: support@zyr.example"))),
        inside(frame1, label(QStringLiteral("Label1"), 480, 480, 2655, 255, 1,
                             QStringLiteral("Programmed by: ZYR Software"))),
        // Made after Label1 so that it lies above it: "VERSION 1.00" is always fully readable.
        inside(frame1, label(QStringLiteral("Label4"), 2640, 480, 1335, 495, 5,
                             QStringLiteral("VERSION 1.00"))),
    };
    return d;
}

AboutWindow::AboutWindow(WindowRegistry &registry)
    : KitWindow(registry, WindowClass::About, design())
{
    connectHandler(control<QPushButton>("cmdBack"), &QPushButton::clicked, this,
                   &AboutWindow::cmdBack_Click);
}

void AboutWindow::cmdBack_Click()
{
    returnToMainMenu();
}

} // namespace zyr
