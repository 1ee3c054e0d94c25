#include "players/WavPlayerWindow.h"

#include "app/HandlerGuard.h"
#include "app/WindowRegistry.h"
#include "media/ComponentProperties.h"
#include "media/devices/FfmpegWarmUp.h"
#include "players/PlayerComponents.h"
#include "players/PlayerOpenSequence.h"

#include <QAction>
#include <QPushButton>
#include <QScrollBar>

namespace zyr {

namespace {

const QString kCaption = QStringLiteral("The ZYR Multimedia WAV Player");
const QString kCaptionNotLoaded =
    QStringLiteral("The ZYR Multimedia WAV Player - (No File is Loaded)");
const QString kFilter = QStringLiteral("All Files (*.*)|*.*|WAV Files (*.wav)|*.wav");

} // namespace

WindowDesign WavPlayerWindow::design()
{
    const QString clef = QStringLiteral(":/pictures/disc-clef.gif");
    WindowDesign d;
    d.name = QStringLiteral("frmMyWav");
    d.caption = kCaption;
    d.clientWidth = 4740;
    d.clientHeight = 3270;
    d.menus = {{QStringLiteral("mnuFile"),
                QStringLiteral("&File"),
                {{QStringLiteral("mnuOpen"), QStringLiteral("&Open")},
                 {QStringLiteral("mnuExit"), QStringLiteral("E&xit")}}}};
    d.controls = {
        withAccessibleName(QStringLiteral("Position"),
                           hScrollBar(QStringLiteral("hsbposition"), 720, 2280, 3495, 255, 4)),
        fileOpenDialog(QStringLiteral("CMDialog1"), 0, 2760),
        commandButton(QStringLiteral("cmdExit"), 1440, 1560, 1695, 375, 3, QStringLiteral("E&xit")),
        commandButton(QStringLiteral("cmdStop"), 2520, 360, 1695, 615, 2, QStringLiteral("&Stop")),
        commandButton(QStringLiteral("cmdPlay"), 240, 360, 1575, 615, 1, QStringLiteral("&Play")),
        mediaControl(QStringLiteral("MMControl1"), 600, 2880, 3660, 375, 0, 6456, 661, 1000,
                     0xFFFF),
        label(QStringLiteral("Label8"), 0, 2280, 615, 255, 12, QStringLiteral("Position:")),
        label(QStringLiteral("Label7"), 2880, 2640, 495, 255, 11, QStringLiteral(" Stop")),
        label(QStringLiteral("Label6"), 1800, 2640, 495, 255, 10, QStringLiteral("Pause")),
        label(QStringLiteral("Label5"), 1320, 2640, 615, 255, 9, QStringLiteral("  Play")),
        label(QStringLiteral("Label4"), 960, 2640, 615, 255, 8, QStringLiteral("   FF ")),
        label(QStringLiteral("Label3"), 600, 2640, 735, 375, 7, QStringLiteral("Rew")),
        label(QStringLiteral("Label2"), 600, 2640, 15, 135, 6, QStringLiteral("Label2")),
        label(QStringLiteral("Label1"), 3360, 2640, 1095, 255, 5, QStringLiteral("REC")),
        picture(QStringLiteral("Image2"), 3840, 1560, 480, 480, clef),
        picture(QStringLiteral("Image1"), 360, 1560, 480, 480, clef),
        line(QStringLiteral("Line1"), 0, 0, 4800, 0),
    };
    return d;
}

WavPlayerWindow::WavPlayerWindow(WindowRegistry &registry)
    : KitWindow(registry, WindowClass::WavPlayer, design())
{
    // FFmpeg's one-time set-up runs in the background from now on, not in the first Open.
    media::startWarmingFfmpeg();

    using W = WavPlayerWindow;
    connectHandler(menuItem("mnuOpen"), &QAction::triggered, this, &W::mnuOpen_Click);
    connectHandler(menuItem("mnuExit"), &QAction::triggered, this, &W::mnuExit_Click);
    connectHandler(control<QPushButton>("cmdPlay"), &QPushButton::clicked, this, &W::cmdPlay_Click);
    connectHandler(control<QPushButton>("cmdStop"), &QPushButton::clicked, this, &W::cmdStop_Click);
    connectHandler(control<QPushButton>("cmdExit"), &QPushButton::clicked, this, &W::cmdExit_Click);
    connectHandler(&mmControl(), &media::MediaControl::statusUpdate, this,
                   &W::MMControl1_StatusUpdate);
    connectHandler(&mmControl(), &media::MediaControl::done, this, &W::MMControl1_Done);
    acceptFileDrops();
}

media::MediaControl &WavPlayerWindow::mmControl() const
{
    return *control<media::MediaControl>(QStringLiteral("MMControl1"));
}

media::FileOpenDialog &WavPlayerWindow::dialog() const
{
    return *control<media::FileOpenDialog>(QStringLiteral("CMDialog1"));
}

void WavPlayerWindow::Form_Load()
{
    media::MediaControlProperties(mmControl()).setUpdateInterval(250);
}

void WavPlayerWindow::mnuOpen_Click()
{
    const OpenOutcome outcome =
        openThroughDialog(dialog(), mmControl(), kFilter, QStringLiteral("WaveAudio"));
    if (outcome != OpenOutcome::Cancelled)
        showOpenOutcome(outcome);
}

void WavPlayerWindow::openAndPlay(const QString &path)
{
    if (showOpenOutcome(openAsPicked(dialog(), mmControl(), path, QStringLiteral("WaveAudio"))))
        cmdPlay_Click();
}

bool WavPlayerWindow::showOpenOutcome(OpenOutcome outcome)
{
    DesignedWindow &self = registry().get(WindowClass::WavPlayer);
    const bool opened = outcome == OpenOutcome::Opened;
    control<QPushButton>(QStringLiteral("cmdPlay"))->setEnabled(opened);
    control<QPushButton>(QStringLiteral("cmdStop"))->setEnabled(true);
    self.setWindowTitle(opened ? kCaption : kCaptionNotLoaded);
    if (opened)
        setBarToMedium(*control<QScrollBar>(QStringLiteral("hsbposition")), mmControl());
    else
        reportCantOpen(&self, QStringLiteral("Can't open "), dialog());
    return opened;
}

void WavPlayerWindow::cmdPlay_Click()
{
    media::MediaControlProperties(mmControl()).setCommand(QStringLiteral("Play"));
}

void WavPlayerWindow::cmdStop_Click()
{
    media::MediaControlProperties(mmControl()).setCommand(QStringLiteral("Stop"));
}

void WavPlayerWindow::MMControl1_StatusUpdate()
{
    followPosition(*control<QScrollBar>(QStringLiteral("hsbposition")), mmControl());
}

void WavPlayerWindow::MMControl1_Done(int)
{
    media::MediaControlProperties mm(mmControl());
    if (mm.position() == mm.length())
        mm.setCommand(QStringLiteral("Prev"));
}

void WavPlayerWindow::cmdExit_Click()
{
    returnToMainMenu();
}
void WavPlayerWindow::mnuExit_Click()
{
    returnToMainMenu();
}

} // namespace zyr
