#include "players/CdPlayerWindow.h"

#include "app/HandlerGuard.h"
#include "media/ComponentProperties.h"
#include "media/MediaButtonWidget.h"
#include "players/PlayerComponents.h"

#include <QLineEdit>
#include <QPushButton>

namespace zyr {

namespace {

const QString kNoDisc = QStringLiteral("No CD or Load");
const QString kLoaded = QStringLiteral("Disk Loaded");

} // namespace

WindowDesign CdPlayerWindow::design()
{
    WindowDesign d;
    d.name = QStringLiteral("frmCD");
    d.caption = QStringLiteral("The ZYR Multimedia CD Player");
    d.clientWidth = 4680;
    d.clientHeight = 3195;
    d.controls = {
        withAccessibleName(QStringLiteral("Status"),
                           textBox(QStringLiteral("txtno"), 3000, 480, 1215, 375, 3, kNoDisc)),
        fileOpenDialog(QStringLiteral("CommonDialog1"), 240, 480),
        commandButton(QStringLiteral("cmdExit"), 2760, 1560, 1575, 375, 2, QStringLiteral("E&xit")),
        commandButton(QStringLiteral("cmdLoad"), 360, 1560, 1575, 375, 1, QStringLiteral("&Load")),
        mediaControl(QStringLiteral("MMControl1"), 720, 2400, 3360, 495, 0, 5927, 873, 1000,
                     0x0000),
        picture(QStringLiteral("Image1"), 1800, 240, 750, 750,
                QStringLiteral(":/pictures/disc-rainbow.gif")),
    };
    return d;
}

CdPlayerWindow::CdPlayerWindow(WindowRegistry &registry)
    : KitWindow(registry, WindowClass::CdPlayer, design())
{
    using W = CdPlayerWindow;
    connectHandler(control<QPushButton>("cmdLoad"), &QPushButton::clicked, this, &W::cmdLoad_Click);
    connectHandler(control<QPushButton>("cmdExit"), &QPushButton::clicked, this, &W::cmdExit_Click);
    connectHandler(&mmControl(), &media::MediaControl::buttonClick, this, &W::onButtonClick);
    connectHandler(&mmControl(), &media::MediaControl::buttonCompleted, this,
                   &W::onButtonCompleted);
}

media::MediaControl &CdPlayerWindow::mmControl() const
{
    return *control<media::MediaControl>(QStringLiteral("MMControl1"));
}

void CdPlayerWindow::setStatus(const QString &text)
{
    control<QLineEdit>(QStringLiteral("txtno"))->setText(text);
}

void CdPlayerWindow::reportLoad()
{
    // Only a disc that really opened is reported as loaded; a failure shows the text the window
    // starts with, so the user is never told a failure is a success.
    setStatus(media::MediaControlProperties(mmControl()).error() <= 0 ? kLoaded : kNoDisc);
}

void CdPlayerWindow::onButtonClick(media::MediaButton button, bool &cancel)
{
    switch (button) {
    case media::MediaButton::Play:
        MMControl1_PlayClick(cancel);
        break;
    case media::MediaButton::Pause:
        MMControl1_PauseClick(cancel);
        break;
    case media::MediaButton::Stop:
        MMControl1_StopClick(cancel);
        break;
    case media::MediaButton::Next:
        MMControl1_NextClick(cancel);
        break;
    case media::MediaButton::Eject:
        MMControl1_EjectClick(cancel);
        break;
    default:
        break;
    }
}

void CdPlayerWindow::onButtonCompleted(media::MediaButton button, int errorCode)
{
    if (button == media::MediaButton::Eject)
        MMControl1_EjectCompleted(errorCode);
}

void CdPlayerWindow::cmdLoad_Click()
{
    media::MediaControlProperties mm(mmControl());
    mm.setDeviceType(QStringLiteral("CDAudio"));
    mm.setCommand(QStringLiteral("Open"));
    reportLoad();
}

void CdPlayerWindow::openAndPlay(const QString &path)
{
    media::MediaControlProperties mm(mmControl());
    mm.setDeviceType(QStringLiteral("CDAudio"));
    // The control opens the drive or image its file name names; the name is taken back at once,
    // so that Load goes on opening the disc in the system's drive.
    mm.setFileName(path);
    mm.setCommand(QStringLiteral("Open"));
    mm.setFileName(QString());
    reportLoad();
    // Nothing opened: the button is disabled and the click does nothing.
    mmControl().button(media::MediaButton::Play)->click();
}

void CdPlayerWindow::cmdExit_Click()
{
    returnToMainMenu();
}

void CdPlayerWindow::MMControl1_PlayClick(bool &)
{
    setStatus(QStringLiteral("Disk Play"));
}

void CdPlayerWindow::MMControl1_PauseClick(bool &)
{
    setStatus(QStringLiteral("Paused"));
}

void CdPlayerWindow::MMControl1_StopClick(bool &)
{
    setStatus(QStringLiteral("Stopped"));
}

void CdPlayerWindow::MMControl1_NextClick(bool &)
{
    setStatus(QStringLiteral("Disk Play"));
}

void CdPlayerWindow::MMControl1_EjectClick(bool &)
{
    setStatus(QStringLiteral("Ejected"));
}

void CdPlayerWindow::MMControl1_EjectCompleted(int)
{
    media::MediaControlProperties(mmControl()).setCommand(QStringLiteral("Load"));
    reportLoad();
}

} // namespace zyr
