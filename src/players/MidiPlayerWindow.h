#pragma once

#include "app/KitWindow.h"

namespace zyr {

enum class OpenOutcome;

namespace media {
class MediaControl;
class FileOpenDialog;
enum class MediaButton;
} // namespace media

// frmMidi, the MIDI player: File, Open picks a MIDI file and opens it as a "Sequencer" device;
// its own Play and Stop buttons and the control's Play, Pause and Stop buttons play it, and a
// large status box says what was last asked for. Every stop and the end of the music send
// "Next", which rewinds. File, Exit hides the window first, then shows the main menu; the music
// goes on. Music named from outside the kit or dropped on the window opens as File, Open would
// open it, and plays.
class MidiPlayerWindow : public KitWindow {
    Q_OBJECT
public:
    explicit MidiPlayerWindow(WindowRegistry &registry);

    static WindowDesign design();

    void openAndPlay(const QString &path) override;

    void mnuOpen_Click();
    void cmdPlay_Click();
    void cmdStop_Click();
    void MMControl1_PlayClick(bool &Cancel);
    void MMControl1_PauseClick(bool &Cancel);
    void MMControl1_PauseCompleted(int Errorcode);
    void MMControl1_StopClick(bool &Cancel);
    void MMControl1_StatusUpdate();
    void MMControl1_Done(int NotifyCode);
    void mnuExit_Click();

protected:
    ReturnOrder returnOrder() const override { return ReturnOrder::HideThenShow; }

private:
    // What File, Open shows once the control has tried to open; true when it opened.
    bool showOpenOutcome(OpenOutcome outcome);
    media::FileOpenDialog &dialog() const;
    media::MediaControl &mmControl() const;
    void setStatus(const QString &text);
    void onButtonClick(media::MediaButton button, bool &cancel);
    void onButtonCompleted(media::MediaButton button, int errorCode);
};

} // namespace zyr
