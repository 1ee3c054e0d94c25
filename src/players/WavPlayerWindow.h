#pragma once

#include "app/KitWindow.h"

namespace zyr {

enum class OpenOutcome;

namespace media {
class MediaControl;
class FileOpenDialog;
} // namespace media

// frmMyWav, the WAV sound player: File, Open picks a sound and opens it as a "WaveAudio"
// device; Play and Stop send their commands; the position bar follows playback four times a
// second; at the end of the sound the device is put back to the start. Exit returns to the
// main menu and the sound goes on playing. A sound named from outside the kit or dropped on the
// window opens as File, Open would open it, and plays.
class WavPlayerWindow : public KitWindow {
    Q_OBJECT
public:
    explicit WavPlayerWindow(WindowRegistry &registry);

    static WindowDesign design();

    void formLoad() override { Form_Load(); }
    void openAndPlay(const QString &path) override;

    void Form_Load();
    void mnuOpen_Click();
    void cmdPlay_Click();
    void cmdStop_Click();
    void MMControl1_StatusUpdate();
    void MMControl1_Done(int NotifyCode);
    void cmdExit_Click();
    void mnuExit_Click();

protected:
private:
    // What File, Open shows once the control has tried to open; true when it opened.
    bool showOpenOutcome(OpenOutcome outcome);
    media::MediaControl &mmControl() const;
    media::FileOpenDialog &dialog() const;
};

} // namespace zyr
