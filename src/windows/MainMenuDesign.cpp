#include "windows/MainMenuWindow.h"

namespace zyr {

WindowDesign MainMenuWindow::design()
{
    const FontDesign heading{
        QStringLiteral("Bookman Old Style"), 12.0, 600, false, false, false, 0};

    WindowDesign d;
    d.name = QStringLiteral("frmkivo");
    d.caption = QStringLiteral("Welcome to the ZYR Multimedia Kit");
    d.clientWidth = 4680;
    d.clientHeight = 3195;
    d.icon = QStringLiteral(":/pictures/kit.ico");
    d.menus = {
        {QStringLiteral("mnuFile"),
         QStringLiteral("&File"),
         {{QStringLiteral("mnuAvi"), QStringLiteral("&AVI Viewer")},
          {QStringLiteral("mnuCd"), QStringLiteral("&CD Player")},
          {QStringLiteral("mnuWav"), QStringLiteral("&WAV Player")},
          {QStringLiteral("mnuMidi"), QStringLiteral("&MIDI Player")},
          {QStringLiteral("mnuExit"), QStringLiteral("E&xit")}}},
        {QStringLiteral("mnuHelp"),
         QStringLiteral("&Help"),
         {{QStringLiteral("mnuAbout"), QStringLiteral("&About")}}},
    };
    d.controls = {
        commandButton(QStringLiteral("cmdExit"), 3480, 2760, 975, 375, 4, QStringLiteral("E&xit")),
        picture(QStringLiteral("Image4"), 2160, 2640, 495, 555,
                QStringLiteral(":/pictures/loudspeaker.gif")),
        line(QStringLiteral("Line1"), 0, 0, 4680, 0),
        label(QStringLiteral("Label5"), 120, 2760, 1335, 375, 5, QStringLiteral("Midi Player")),
        picture(QStringLiteral("Image3"), 2160, 2040, 480, 480,
                QStringLiteral(":/pictures/disc-clef.gif")),
        picture(QStringLiteral("Image2"), 2160, 1440, 465, 510,
                QStringLiteral(":/pictures/disc-note.gif")),
        picture(QStringLiteral("Image1"), 2160, 840, 510, 525,
                QStringLiteral(":/pictures/clapperboard.gif")),
        label(QStringLiteral("Label4"), 120, 2160, 1575, 375, 3, QStringLiteral("WAV Player")),
        label(QStringLiteral("Label3"), 120, 1560, 1815, 375, 2,
              QStringLiteral("Compact Disc Player:")),
        label(QStringLiteral("Label2"), 120, 960, 1815, 375, 1,
              QStringLiteral("AVI Movie Viewer:")),
        withFont(heading, label(QStringLiteral("Label1"), 240, 240, 4215, 615, 0,
                                QStringLiteral("Choose a Multimedia Program you wish to use:"))),
    };
    return d;
}

} // namespace zyr
