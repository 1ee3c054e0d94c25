#pragma once
// Which media device control the user used last: the control of the last player window that
// was shown or activated, or whose control had a button pressed or started to play. The desktop's
// media keys act on that control.
//
// The tracker watches the application's windows through an event filter, so it needs no help
// from the windows themselves: a top-level window that holds a MediaControl is a player. It
// follows a control from the moment its window first shows. UI thread only.

#include "media/MediaControl.h"

#include <QObject>
#include <QPointer>

namespace zyr::desktop {

class LastUsedControl : public QObject {
    Q_OBJECT
public:
    // Starts watching every window of the application.
    explicit LastUsedControl(QObject *parent = nullptr);
    ~LastUsedControl() override;

    // The control used last; null before any player window showed, or once it is gone.
    media::MediaControl *control() const { return m_control; }

signals:
    // Another control became the one used last.
    void changed(zyr::media::MediaControl *control);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setCurrent(media::MediaControl *control);
    void onButtonClick(media::MediaButton button, bool &cancel);
    void onModeChanged(media::ControlMode mode);

    QPointer<media::MediaControl> m_control;
};

} // namespace zyr::desktop
