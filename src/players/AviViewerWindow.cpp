#include "players/AviViewerWindow.h"

#include "app/HandlerGuard.h"
#include "app/WindowRegistry.h"
#include "media/ComponentProperties.h"
#include "media/devices/FfmpegWarmUp.h"
#include "media/MediaButtonWidget.h"
#include "players/PlayerComponents.h"
#include "players/PlayerOpenSequence.h"

#include <QAction>

namespace zyr {

namespace {

const QString kCaption = QStringLiteral("The ZYR Multimedia AVI Viewer");
const QString kCaptionNotLoaded =
    QStringLiteral("The ZYR Multimedia AVI Viewer - (No file loaded)");
const QString kFilter = QStringLiteral("All Files (*.*)|*.*|Movie AVI Files (*.avi)|*.avi");

} // namespace

WindowDesign AviViewerWindow::design()
{
    WindowDesign d;
    d.name = QStringLiteral("frmPlayavi");
    d.caption = kCaption;
    d.clientWidth = 4680;
    d.clientHeight = 3195;
    d.menus = {{QStringLiteral("mnuFile"),
                QStringLiteral("&File"),
                {{QStringLiteral("mnuOpen"), QStringLiteral("&Open")},
                 {QStringLiteral("mnuExit"), QStringLiteral("E&xit")}}}};
    d.controls = {
        fileOpenDialog(QStringLiteral("CMDialog1"), 480, 1680),
        mediaControl(QStringLiteral("MMControl1"), 600, 2520, 3540, 375, 0, 6243, 661, 1000,
                     0xFFFF),
        line(QStringLiteral("Line1"), 0, 0, 4680, 0),
        picture(QStringLiteral("Image1"), 1320, 240, 1890, 1575,
                QStringLiteral(":/pictures/television.gif")),
    };
    return d;
}

AviViewerWindow::AviViewerWindow(WindowRegistry &registry)
    : KitWindow(registry, WindowClass::AviViewer, design())
{
    // FFmpeg's one-time set-up runs in the background from now on, not in the first Open.
    media::startWarmingFfmpeg();

    using W = AviViewerWindow;
    connectHandler(menuItem("mnuOpen"), &QAction::triggered, this, &W::mnuOpen_Click);
    connectHandler(menuItem("mnuExit"), &QAction::triggered, this, &W::mnuExit_Click);
    connectHandler(&mmControl(), &media::MediaControl::done, this, &W::MMControl1_Done);
    acceptFileDrops();
}

media::MediaControl &AviViewerWindow::mmControl() const
{
    return *control<media::MediaControl>(QStringLiteral("MMControl1"));
}

media::FileOpenDialog &AviViewerWindow::dialog() const
{
    return *control<media::FileOpenDialog>(QStringLiteral("CMDialog1"));
}

void AviViewerWindow::mnuOpen_Click()
{
    const OpenOutcome outcome =
        openThroughDialog(dialog(), mmControl(), kFilter, QStringLiteral("AVIVideo"));
    if (outcome != OpenOutcome::Cancelled)
        showOpenOutcome(outcome);
}

void AviViewerWindow::openAndPlay(const QString &path)
{
    if (showOpenOutcome(openAsPicked(dialog(), mmControl(), path, QStringLiteral("AVIVideo"))))
        mmControl().button(media::MediaButton::Play)->click();
}

bool AviViewerWindow::showOpenOutcome(OpenOutcome outcome)
{
    DesignedWindow &self = registry().get(WindowClass::AviViewer);
    if (outcome == OpenOutcome::Opened) {
        self.setWindowTitle(kCaption);
        return true;
    }
    self.setWindowTitle(kCaptionNotLoaded);
    reportCantOpen(&self, QStringLiteral("Can't Open "), dialog());
    return false;
}

void AviViewerWindow::mnuExit_Click()
{
    returnToMainMenu();
}

void AviViewerWindow::MMControl1_Done(int)
{
    media::MediaControlProperties mm(mmControl());
    if (mm.position() == mm.length())
        mm.setCommand(QStringLiteral("Prev"));
}

} // namespace zyr
