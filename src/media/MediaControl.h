#pragma once
// The media device control: a row of nine transport buttons over one open device, driven by
// string commands and properties reached by dispatch id, raising button, completion, done and
// status events. Every player window holds one.
//
// Threads. UI thread only. The device's worker reports through queued calls; the control's
// events are emitted on the UI thread, Done always queued, so a handler may write commands
// from inside any event.
//
// Keyboard. The control is one stop in its window's focus order. While it has the focus, the
// arrow keys (and Home, End) move between its enabled buttons, and Space or Enter presses the
// one the keyboard is on, exactly as a click does. When that button becomes disabled the
// keyboard moves to the nearest enabled one; a button pressed with the mouse takes it too.
//
// Errors. A command string never raises: its outcome lands in Error (0 success, a positive
// MediaErrorCode otherwise) with a message. Only property access raises ComponentError, for an
// unknown dispatch id or a value of the wrong type.

#include "media/core/MonotonicClock.h"
#include "media/devices/DeviceTypes.h"
#include "media/DispatchValue.h"
#include "media/MediaButton.h"
#include "media/MediaCommand.h"
#include "media/MediaErrorCode.h"

#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

namespace zyr::media {

class MediaButtonWidget;

class MediaControl : public QWidget, public Dispatchable {
    Q_OBJECT
public:
    // Dispatch ids of the properties.
    static constexpr int kDeviceType = 21;
    static constexpr int kFileName = 22;
    static constexpr int kCommand = 23;
    static constexpr int kLength = 36;
    static constexpr int kPosition = 37;
    static constexpr int kTo = 41; // where "Seek" moves, in milliseconds
    static constexpr int kUpdateInterval = 45;
    static constexpr int kError = 53;

    // Done's notify codes.
    static constexpr int kNotifySuccessful = 1; // ran to its end
    static constexpr int kNotifySuperseded = 2; // a new Play or Record took over
    static constexpr int kNotifyAborted = 4;    // Stop, Open, Close or Eject ended it
    static constexpr int kNotifyFailure = 8;    // the medium failed while playing

    // A control with the design-time settings of `persisted` (its 96-byte block); raises
    // ComponentError for a malformed block.
    explicit MediaControl(const QByteArray &persisted, QWidget *parent = nullptr);
    ~MediaControl() override;

    void put(int dispatchId, const DispatchValue &value) override;
    DispatchValue get(int dispatchId) override;

    // Where devices opened from now on send their sound (tests hand in a test sink).
    void setDeviceContext(DeviceContext context) { m_context = std::move(context); }
    // The clock Prev's repeat window is measured on (tests hand in one they step).
    void setClock(MonotonicClock clock) { m_clock = std::move(clock); }

    // Carries out `command` as the Command property does; returns the new Error.
    MediaErrorCode execute(const QString &command);
    MediaErrorCode execute(MediaCommand command);

    std::int16_t error() const { return static_cast<std::int16_t>(m_error); }
    QString errorMessage() const { return m_errorMessage; }
    std::int32_t length() const;
    std::int32_t position() const;
    // Whether "Seek" can move the position: a device is open and, for a disc, the tray is shut.
    bool canSeek() const { return m_device && m_mode != ControlMode::TrayOpen; }
    ControlMode mode() const { return m_mode; }
    QString deviceType() const { return m_deviceType; }
    QString fileName() const { return m_fileName; }
    int updateInterval() const { return m_updateInterval; }
    // Where the open medium's tracks start, in milliseconds; empty with no device open.
    std::vector<std::int64_t> trackStartsMs() const;

    MediaButtonWidget *button(MediaButton which) const;
    // The button the keyboard is on.
    MediaButton keyboardButton() const { return m_keyButton; }

signals:
    void done(int notifyCode);
    void buttonClick(zyr::media::MediaButton button, bool &cancel);
    void buttonCompleted(zyr::media::MediaButton button, int errorCode);
    void statusUpdate();
    // The mode changed, and with it the buttons' enabling (a device opened or closed, playing
    // started, paused or ended, the tray moved). Emitted at once, on the UI thread.
    void modeChanged(zyr::media::ControlMode mode);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    // Watches the buttons: a button pressed with the mouse takes the keyboard with it.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void pressed(MediaButton which);
    MediaErrorCode fail(MediaErrorCode code, const QString &message);
    MediaErrorCode fail(const MediaError &error);
    MediaErrorCode succeed();
    MediaErrorCode open();
    void closeDevice();
    MediaErrorCode play();
    MediaErrorCode record();
    MediaErrorCode pause();
    MediaErrorCode seekToTrack(MediaCommand which);
    // Moves to To, clamped to the medium, keeping the mode; never ends a play.
    MediaErrorCode seekTo();
    // Ends the play or record in progress, if any, with Done(code), queued.
    void endActivePlay(int notifyCode);
    void queueDone(int notifyCode);
    void setMode(ControlMode mode);
    void refreshButtons();
    // Moves the keyboard to the first enabled button from the key button in direction `step`
    // (+1 right, -1 left); stays where it is when there is none.
    void moveKeyButton(int step);
    // Puts the keyboard on `which` and marks it while the control has the focus.
    void setKeyButton(MediaButton which);
    // After the enabling changed: a disabled key button hands the keyboard to the nearest
    // enabled one.
    void keepKeyButtonEnabled();
    void setUpdateInterval(int milliseconds);
    void onPlaybackFinished();
    void onPlaybackFailed(const MediaError &error);
    void onEjectFinished(const MediaError &error);
    void onDiscRead(const MediaError &error);

    DeviceContext m_context;
    std::unique_ptr<MediaDevice> m_device;
    std::array<MediaButtonWidget *, kMediaButtons.size()> m_buttons{};
    QString m_deviceType;
    QString m_fileName;
    std::int32_t m_to = 0;
    MediaErrorCode m_error = MediaErrorCode::None;
    QString m_errorMessage;
    ControlMode m_mode = ControlMode::NoDevice;
    bool m_playActive = false;      // a play or record that will report Done
    bool m_pausedRecording = false; // Paused holds a recording, not a play
    QTimer m_statusTimer;
    int m_updateInterval = 0;
    MonotonicClock m_clock = steadyClock();
    std::optional<std::chrono::steady_clock::time_point> m_lastPrev;
    MediaButton m_keyButton = MediaButton::Prev;
};

} // namespace zyr::media
