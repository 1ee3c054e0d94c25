#pragma once

#include "app/KitWindow.h"

namespace zyr {

namespace media {
class MediaControl;
enum class MediaButton;
} // namespace media

// frmCD, the audio CD player: Load opens the disc in the drive as a "CDAudio" device; the
// control's own buttons play, pause, stop, skip and eject, and the status box tells the user's
// last action. After an eject has finished the window sends "Load". Exit returns to the main
// menu; the disc goes on playing. A drive or a cue/bin image named from outside the kit opens as
// Load opens the disc, and plays as the control's Play plays it; Load itself keeps opening the
// disc in the system's drive.
class CdPlayerWindow : public KitWindow {
    Q_OBJECT
public:
    explicit CdPlayerWindow(WindowRegistry &registry);

    static WindowDesign design();

    // `path` names a drive's device node or a cue sheet.
    void openAndPlay(const QString &path) override;

    void cmdLoad_Click();
    void cmdExit_Click();
    void MMControl1_PlayClick(bool &Cancel);
    void MMControl1_PauseClick(bool &Cancel);
    void MMControl1_StopClick(bool &Cancel);
    void MMControl1_NextClick(bool &Cancel);
    void MMControl1_EjectClick(bool &Cancel);
    void MMControl1_EjectCompleted(int Errorcode);

private:
    media::MediaControl &mmControl() const;
    void setStatus(const QString &text);
    // "Disk Loaded" when the control reports success, else the text the window starts with.
    void reportLoad();
    void onButtonClick(media::MediaButton button, bool &cancel);
    void onButtonCompleted(media::MediaButton button, int errorCode);
};

} // namespace zyr
