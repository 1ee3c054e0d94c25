#include "players/MidiPlayerWindow.h"

#include "app/HandlerGuard.h"
#include "app/WindowRegistry.h"
#include "media/ComponentProperties.h"
#include "media/devices/SoundFontLibrary.h"
#include "players/PlayerComponents.h"
#include "players/PlayerOpenSequence.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

namespace zyr {

namespace {

const QString kCaption = QStringLiteral("The ZYR Multimedia MIDI Player");
const QString kCaptionNotLoaded =
    QStringLiteral("The ZYR Multimedia MIDI Player - (No file loaded)");
const QString kFilter = QStringLiteral("All Files (*.*)|*.*|Midi Files (*.mid)|*.mid");

} // namespace

WindowDesign MidiPlayerWindow::design()
{
    // The status box: the dialog face at 24 points, bold, its text in pure blue.
    ControlDesign status = withAccessibleName(
        QStringLiteral("Status"),
        withFont(
            {QStringLiteral("MS Sans Serif"), 24.0, 700, false, false, false, 0},
            textBox(QStringLiteral("txtbox"), 600, 240, 3375, 735, 4, QStringLiteral("Welcome"))));
    status.foreColor = QColor(0, 0, 255);

    WindowDesign d;
    d.name = QStringLiteral("frmMidi");
    d.caption = kCaption;
    d.clientWidth = 4680;
    d.clientHeight = 3195;
    d.menus = {{QStringLiteral("mnuFile"),
                QStringLiteral("&File"),
                {{QStringLiteral("mnuOpen"), QStringLiteral("&Open")},
                 {QStringLiteral("mnuExit"), QStringLiteral("E&xit")}}}};
    d.controls = {
        status,
        withAccessibleName(QStringLiteral("Position"),
                           hScrollBar(QStringLiteral("hsbposition"), 360, 1200, 3855, 255, 3)),
        commandButton(QStringLiteral("cmdStop"), 2640, 1680, 1215, 495, 2, QStringLiteral("&Stop")),
        commandButton(QStringLiteral("cmdPlay"), 960, 1680, 1215, 495, 1, QStringLiteral("&Play")),
        fileOpenDialog(QStringLiteral("cmdialog1"), 120, 1680),
        mediaControl(QStringLiteral("MMControl1"), 720, 2520, 3360, 495, 0, 5927, 873, 250, 0x0000),
        line(QStringLiteral("Line1"), 0, 0, 4680, 0),
    };
    return d;
}

MidiPlayerWindow::MidiPlayerWindow(WindowRegistry &registry)
    : KitWindow(registry, WindowClass::MidiPlayer, design())
{
    // The SoundFont loads in the background from now on, so the first Open finds it ready.
    media::SoundFontLibrary::instance().startLoading();

    using W = MidiPlayerWindow;
    connectHandler(menuItem("mnuOpen"), &QAction::triggered, this, &W::mnuOpen_Click);
    connectHandler(menuItem("mnuExit"), &QAction::triggered, this, &W::mnuExit_Click);
    connectHandler(control<QPushButton>("cmdPlay"), &QPushButton::clicked, this, &W::cmdPlay_Click);
    connectHandler(control<QPushButton>("cmdStop"), &QPushButton::clicked, this, &W::cmdStop_Click);
    connectHandler(&mmControl(), &media::MediaControl::buttonClick, this, &W::onButtonClick);
    connectHandler(&mmControl(), &media::MediaControl::buttonCompleted, this,
                   &W::onButtonCompleted);
    connectHandler(&mmControl(), &media::MediaControl::statusUpdate, this,
                   &W::MMControl1_StatusUpdate);
    connectHandler(&mmControl(), &media::MediaControl::done, this, &W::MMControl1_Done);
    acceptFileDrops();
}

media::MediaControl &MidiPlayerWindow::mmControl() const
{
    return *control<media::MediaControl>(QStringLiteral("MMControl1"));
}

media::FileOpenDialog &MidiPlayerWindow::dialog() const
{
    return *control<media::FileOpenDialog>(QStringLiteral("cmdialog1"));
}

void MidiPlayerWindow::setStatus(const QString &text)
{
    control<QLineEdit>(QStringLiteral("txtbox"))->setText(text);
}

void MidiPlayerWindow::onButtonClick(media::MediaButton button, bool &cancel)
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
    default:
        break;
    }
}

void MidiPlayerWindow::onButtonCompleted(media::MediaButton button, int errorCode)
{
    if (button == media::MediaButton::Pause)
        MMControl1_PauseCompleted(errorCode);
}

void MidiPlayerWindow::mnuOpen_Click()
{
    const OpenOutcome outcome =
        openThroughDialog(dialog(), mmControl(), kFilter, QStringLiteral("Sequencer"));
    if (outcome != OpenOutcome::Cancelled)
        showOpenOutcome(outcome);
}

void MidiPlayerWindow::openAndPlay(const QString &path)
{
    if (showOpenOutcome(openAsPicked(dialog(), mmControl(), path, QStringLiteral("Sequencer"))))
        cmdPlay_Click();
}

bool MidiPlayerWindow::showOpenOutcome(OpenOutcome outcome)
{
    DesignedWindow &self = registry().get(WindowClass::MidiPlayer);
    const bool opened = outcome == OpenOutcome::Opened;
    control<QPushButton>(QStringLiteral("cmdPlay"))->setEnabled(opened);
    control<QPushButton>(QStringLiteral("cmdStop"))->setEnabled(opened);
    self.setWindowTitle(opened ? kCaption : kCaptionNotLoaded);
    if (opened)
        setBarToMedium(*control<QScrollBar>(QStringLiteral("hsbposition")), mmControl());
    else
        reportCantOpen(&self, QStringLiteral("Can't open "), dialog());
    return opened;
}

void MidiPlayerWindow::cmdPlay_Click()
{
    media::MediaControlProperties(mmControl()).setCommand(QStringLiteral("Play"));
    setStatus(QStringLiteral("Play MIDI"));
}

void MidiPlayerWindow::cmdStop_Click()
{
    media::MediaControlProperties mm(mmControl());
    mm.setCommand(QStringLiteral("Stop"));
    setStatus(QStringLiteral("Stopped"));
    mm.setCommand(QStringLiteral("Next"));
}

void MidiPlayerWindow::MMControl1_PlayClick(bool &)
{
    setStatus(QStringLiteral("Play MIDI"));
}

void MidiPlayerWindow::MMControl1_PauseClick(bool &)
{
    setStatus(QStringLiteral("Press Play"));
}

void MidiPlayerWindow::MMControl1_PauseCompleted(int)
{
    setStatus(QStringLiteral("Paused"));
}

void MidiPlayerWindow::MMControl1_StopClick(bool &)
{
    setStatus(QStringLiteral("Stopped"));
    media::MediaControlProperties(mmControl()).setCommand(QStringLiteral("Next"));
}

void MidiPlayerWindow::MMControl1_StatusUpdate()
{
    followPosition(*control<QScrollBar>(QStringLiteral("hsbposition")), mmControl());
}

void MidiPlayerWindow::MMControl1_Done(int)
{
    media::MediaControlProperties mm(mmControl());
    const std::int32_t length = mm.length();
    if (length == mm.position())
        mm.setCommand(QStringLiteral("Next"));
}

void MidiPlayerWindow::mnuExit_Click()
{
    returnToMainMenu();
}

} // namespace zyr
