#pragma once

#include "app/KitWindow.h"

namespace zyr {

enum class OpenOutcome;

namespace media {
class MediaControl;
class FileOpenDialog;
} // namespace media

// frmPlayavi, the AVI movie viewer: File, Open picks a movie and opens it as an "AVIVideo"
// device, whose pictures show in the device's own window; the control's buttons play it; at
// the end the window rewinds it. File, Exit returns to the main menu; the movie goes on. A movie
// named from outside the kit or dropped on the window opens as File, Open would open it, and
// plays as the control's Play plays it.
class AviViewerWindow : public KitWindow {
    Q_OBJECT
public:
    explicit AviViewerWindow(WindowRegistry &registry);

    static WindowDesign design();

    void openAndPlay(const QString &path) override;

    void mnuOpen_Click();
    void mnuExit_Click();
    void MMControl1_Done(int NotifyCode);

protected:
private:
    // What File, Open shows once the control has tried to open; true when it opened.
    bool showOpenOutcome(OpenOutcome outcome);
    media::MediaControl &mmControl() const;
    media::FileOpenDialog &dialog() const;
};

} // namespace zyr
