#pragma once

#include "app/KitWindow.h"

namespace zyr {

namespace media {
class MediaControl;
class FileOpenDialog;
} // namespace media

// frmPlayavi, the AVI movie viewer: File, Open picks a movie and opens it as an "AVIVideo"
// device, whose pictures show in the device's own window; the control's buttons play it; at
// the end the window rewinds it. File, Exit returns to the main menu; the movie goes on.
class AviViewerWindow : public KitWindow {
    Q_OBJECT
public:
    explicit AviViewerWindow(WindowRegistry &registry);

    static WindowDesign design();

    void mnuOpen_Click();
    void mnuExit_Click();
    void MMControl1_Done(int NotifyCode);

private:
    media::MediaControl &mmControl() const;
    media::FileOpenDialog &dialog() const;
};

} // namespace zyr
