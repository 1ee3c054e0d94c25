#include "media/MediaControl.h"

#include "media/ComponentError.h"
#include "media/MediaButtonWidget.h"
#include "media/MediaControlSettings.h"
#include "media/VideoWindow.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QResizeEvent>

#include <algorithm>
#include <limits>

namespace zyr::media {

namespace {

// A second Prev within this time of the previous one goes to the previous track instead of
// the start of the current one, so that Prev, Prev walks back through a disc.
constexpr std::chrono::milliseconds kPrevRepeat{3000};

std::int32_t clampToInt32(std::int64_t v)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

} // namespace

MediaControl::MediaControl(const QByteArray &persisted, QWidget *parent)
    : QWidget(parent), m_context(defaultDeviceContext())
{
    m_context.videoOutputs = videoWindowFactory();
    const Result<MediaControlSettings> settings = MediaControlSettings::fromPersisted(persisted);
    if (!settings.ok())
        throw ComponentError(ComponentError::kInvalidPropertyValue, settings.error().message);

    for (const MediaButtonInfo &info : kMediaButtons) {
        auto *b = new MediaButtonWidget(info.button, this);
        connect(b, &QAbstractButton::clicked, this,
                [this, which = info.button] { pressed(which); });
        m_buttons[static_cast<std::size_t>(info.button)] = b;
        b->installEventFilter(this);
    }
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Media controls"));

    connect(&m_statusTimer, &QTimer::timeout, this, [this] {
        if (m_device)
            emit statusUpdate();
    });
    setUpdateInterval(settings.value().updateInterval);
    refreshButtons();
}

MediaControl::~MediaControl() = default;

MediaButtonWidget *MediaControl::button(MediaButton which) const
{
    return m_buttons[static_cast<std::size_t>(which)];
}

void MediaControl::resizeEvent(QResizeEvent *event)
{
    // Nine buttons of equal width across the control; the remainder goes to the first ones.
    const int count = static_cast<int>(m_buttons.size());
    const int w = event->size().width();
    const int h = event->size().height();
    int x = 0;
    for (int i = 0; i < count; ++i) {
        const int bw = w / count + (i < w % count ? 1 : 0);
        m_buttons[static_cast<std::size_t>(i)]->setGeometry(x, 0, bw, h);
        x += bw;
    }
    QWidget::resizeEvent(event);
}

void MediaControl::put(int dispatchId, const DispatchValue &value)
{
    switch (dispatchId) {
    case kDeviceType:
        m_deviceType = dispatchAs<QString>(value, "DeviceType");
        return;
    case kFileName:
        m_fileName = dispatchAs<QString>(value, "FileName");
        return;
    case kCommand:
        execute(dispatchAs<QString>(value, "Command"));
        return;
    case kUpdateInterval:
        setUpdateInterval(dispatchAs<std::int16_t>(value, "UpdateInterval"));
        return;
    case kTo:
        m_to = dispatchAs<std::int32_t>(value, "To");
        return;
    case kLength:
    case kPosition:
    case kError:
        throw ComponentError(ComponentError::kNoSuchProperty,
                             QStringLiteral("The property %1 cannot be written.").arg(dispatchId));
    default:
        throw ComponentError(
            ComponentError::kNoSuchProperty,
            QStringLiteral("The media control has no property %1.").arg(dispatchId));
    }
}

DispatchValue MediaControl::get(int dispatchId)
{
    switch (dispatchId) {
    case kDeviceType:
        return m_deviceType;
    case kFileName:
        return m_fileName;
    case kLength:
        return length();
    case kPosition:
        return position();
    case kUpdateInterval:
        return static_cast<std::int16_t>(m_updateInterval);
    case kTo:
        return m_to;
    case kError:
        return error();
    default:
        throw ComponentError(
            ComponentError::kNoSuchProperty,
            QStringLiteral("The media control has no property %1.").arg(dispatchId));
    }
}

std::int32_t MediaControl::length() const
{
    return m_device ? clampToInt32(m_device->lengthMs()) : 0;
}

std::int32_t MediaControl::position() const
{
    return m_device ? clampToInt32(m_device->positionMs()) : 0;
}

std::vector<std::int64_t> MediaControl::trackStartsMs() const
{
    return m_device ? m_device->trackStartsMs() : std::vector<std::int64_t>{};
}

void MediaControl::setUpdateInterval(int milliseconds)
{
    m_updateInterval = std::max(0, milliseconds);
    if (m_updateInterval == 0) {
        m_statusTimer.stop();
        return;
    }
    m_statusTimer.setInterval(m_updateInterval);
    if (m_device)
        m_statusTimer.start();
}

MediaErrorCode MediaControl::fail(MediaErrorCode code, const QString &message)
{
    m_error = code;
    m_errorMessage = message;
    return code;
}

MediaErrorCode MediaControl::fail(const MediaError &error)
{
    return fail(errorCodeFor(error.kind), error.message);
}

MediaErrorCode MediaControl::succeed()
{
    m_error = MediaErrorCode::None;
    m_errorMessage.clear();
    return MediaErrorCode::None;
}

MediaErrorCode MediaControl::execute(const QString &command)
{
    const std::optional<MediaCommand> parsed = parseMediaCommand(command);
    if (!parsed)
        return fail(MediaErrorCode::UnknownCommand,
                    QStringLiteral("The command \"%1\" is not recognized.").arg(command));
    return execute(*parsed);
}

MediaErrorCode MediaControl::execute(MediaCommand command)
{
    if (command == MediaCommand::Open)
        return open();
    if (command == MediaCommand::Close) {
        closeDevice();
        return succeed();
    }
    if (!m_device)
        return fail(MediaErrorCode::NoDeviceOpen, QStringLiteral("No device is open."));

    Result<void> r;
    switch (command) {
    case MediaCommand::Play:
        return play();
    case MediaCommand::Pause:
        return pause();
    case MediaCommand::Stop:
        endActivePlay(kNotifyAborted);
        r = m_device->stop();
        if (m_mode != ControlMode::TrayOpen)
            setMode(ControlMode::Stopped);
        break;
    case MediaCommand::Prev:
    case MediaCommand::Next:
        return seekToTrack(command);
    case MediaCommand::Seek:
        return seekTo();
    case MediaCommand::Back:
    case MediaCommand::Step:
        r = m_device->step(command == MediaCommand::Back ? -1 : 1);
        break;
    case MediaCommand::Record:
        return record();
    case MediaCommand::Eject:
        r = m_device->eject();
        if (r.ok()) {
            endActivePlay(kNotifyAborted);
            setMode(ControlMode::TrayOpen);
        }
        break;
    case MediaCommand::Load:
        r = m_device->load();
        if (r.ok()) {
            // The disc is opened afresh, so whatever played from the old one has ended.
            endActivePlay(kNotifyAborted);
            setMode(ControlMode::Stopped);
        }
        break;
    case MediaCommand::Open:
    case MediaCommand::Close:
        break;
    }
    return r.ok() ? succeed() : fail(r.error());
}

MediaErrorCode MediaControl::open()
{
    closeDevice();
    const DeviceType *type = findDeviceType(m_deviceType);
    std::unique_ptr<MediaDevice> device = m_context.makeDevice ? m_context.makeDevice(m_deviceType)
                                          : type               ? type->make(m_context)
                                                               : nullptr;
    if (!device)
        return fail(MediaErrorCode::UnknownDeviceType,
                    QStringLiteral("The device type \"%1\" is not known.").arg(m_deviceType));
    const bool mustWait = !device->isReadyToOpen();
    if (mustWait)
        QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    const Result<void> opened = device->open(m_fileName);
    if (mustWait)
        QGuiApplication::restoreOverrideCursor();
    if (!opened.ok())
        return fail(opened.error());
    m_device = std::move(device);
    connect(m_device.get(), &MediaDevice::playbackFinished, this,
            &MediaControl::onPlaybackFinished);
    connect(m_device.get(), &MediaDevice::playbackFailed, this, &MediaControl::onPlaybackFailed);
    connect(m_device.get(), &MediaDevice::ejectFinished, this, &MediaControl::onEjectFinished);
    connect(m_device.get(), &MediaDevice::discRead, this, &MediaControl::onDiscRead);
    connect(m_device.get(), &MediaDevice::capabilitiesChanged, this, &MediaControl::refreshButtons);
    connect(m_device.get(), &MediaDevice::pausedFromOutside, this, [this] {
        if (m_mode == ControlMode::Playing)
            setMode(ControlMode::Paused);
    });
    setMode(ControlMode::Stopped);
    if (m_updateInterval > 0)
        m_statusTimer.start();
    return succeed();
}

void MediaControl::closeDevice()
{
    endActivePlay(kNotifyAborted);
    m_statusTimer.stop();
    m_device.reset();
    setMode(ControlMode::NoDevice);
}

MediaErrorCode MediaControl::play()
{
    if (m_mode == ControlMode::TrayOpen)
        return fail(MediaErrorCode::DeviceNotReady, QStringLiteral("The tray is open."));
    // A play in progress starts over; a recording, going on or held, ends and the sound plays.
    if (m_mode == ControlMode::Playing || m_mode == ControlMode::Recording ||
        (m_mode == ControlMode::Paused && m_pausedRecording))
        endActivePlay(kNotifySuperseded);
    if (const Result<void> r = m_device->play(); !r.ok())
        return fail(r.error());
    m_playActive = true;
    setMode(ControlMode::Playing);
    return succeed();
}

MediaErrorCode MediaControl::record()
{
    if (m_mode == ControlMode::TrayOpen)
        return fail(MediaErrorCode::DeviceNotReady, QStringLiteral("The tray is open."));
    // Record on a held recording resumes it; otherwise it supersedes what is in progress.
    const bool resuming = m_mode == ControlMode::Paused && m_pausedRecording;
    if (const Result<void> r = m_device->record(); !r.ok())
        return fail(r.error());
    if (!resuming)
        endActivePlay(kNotifySuperseded);
    m_playActive = true;
    setMode(ControlMode::Recording);
    return succeed();
}

MediaErrorCode MediaControl::pause()
{
    if (m_mode == ControlMode::Paused)
        return m_pausedRecording ? record() : play();
    if (m_mode != ControlMode::Playing && m_mode != ControlMode::Recording)
        return succeed();
    const bool recording = m_mode == ControlMode::Recording;
    if (const Result<void> r = m_device->pause(); !r.ok())
        return fail(r.error());
    setMode(ControlMode::Paused);
    m_pausedRecording = recording;
    return succeed();
}

MediaErrorCode MediaControl::seekToTrack(MediaCommand which)
{
    const std::vector<std::int64_t> starts = m_device->trackStartsMs();
    const std::int64_t here = m_device->positionMs();
    // The track the position lies in: the last one starting at or before it.
    std::size_t current = 0;
    for (std::size_t i = 0; i < starts.size(); ++i)
        if (starts[i] <= here)
            current = i;
    std::size_t target = current;
    if (which == MediaCommand::Prev) {
        const auto now = m_clock();
        const bool repeated = m_lastPrev && now - *m_lastPrev < kPrevRepeat;
        if (repeated && current > 0)
            target = current - 1;
        m_lastPrev = now;
    } else if (current + 1 < starts.size()) {
        target = current + 1;
    }
    const Result<void> r = m_device->seek(starts.empty() ? 0 : starts[target]);
    return r.ok() ? succeed() : fail(r.error());
}

MediaErrorCode MediaControl::seekTo()
{
    if (!canSeek())
        return fail(MediaErrorCode::DeviceNotReady, QStringLiteral("The tray is open."));
    const std::int64_t target = std::clamp<std::int64_t>(m_to, 0, m_device->lengthMs());
    const Result<void> r = m_device->seek(target);
    return r.ok() ? succeed() : fail(r.error());
}

void MediaControl::endActivePlay(int notifyCode)
{
    if (!m_playActive)
        return;
    m_playActive = false;
    queueDone(notifyCode);
}

void MediaControl::queueDone(int notifyCode)
{
    QMetaObject::invokeMethod(
        this, [this, notifyCode] { emit done(notifyCode); }, Qt::QueuedConnection);
}

void MediaControl::onPlaybackFinished()
{
    if (m_mode == ControlMode::Playing || m_mode == ControlMode::Paused)
        setMode(ControlMode::Stopped);
    endActivePlay(kNotifySuccessful);
}

void MediaControl::onPlaybackFailed(const MediaError &error)
{
    fail(error);
    if (m_mode == ControlMode::Playing || m_mode == ControlMode::Paused ||
        m_mode == ControlMode::Recording)
        setMode(ControlMode::Stopped);
    endActivePlay(kNotifyFailure);
}

void MediaControl::onEjectFinished(const MediaError &error)
{
    const int code = error.kind == ErrorKind::None ? 0 : static_cast<int>(errorCodeFor(error.kind));
    emit buttonCompleted(MediaButton::Eject, code);
}

void MediaControl::onDiscRead(const MediaError &error)
{
    if (error.kind == ErrorKind::None) {
        refreshButtons();
        return;
    }
    // No disc to play: a play that waited for it ends, and only Eject is left to do.
    fail(error);
    endActivePlay(kNotifyFailure);
    setMode(ControlMode::TrayOpen);
}

void MediaControl::pressed(MediaButton which)
{
    bool cancel = false;
    emit buttonClick(which, cancel);
    if (cancel)
        return;
    const MediaErrorCode code = execute(mediaButtonInfo(which).command);
    // An eject that started completes when the tray has moved (onEjectFinished).
    if (which == MediaButton::Eject && code == MediaErrorCode::None)
        return;
    emit buttonCompleted(which, static_cast<int>(code));
}

void MediaControl::setMode(ControlMode mode)
{
    const bool changed = mode != m_mode;
    m_mode = mode;
    m_pausedRecording = false;
    refreshButtons();
    if (changed)
        emit modeChanged(mode);
}

void MediaControl::refreshButtons()
{
    const DeviceCapabilities can = m_device ? m_device->capabilities() : DeviceCapabilities{};
    for (const MediaButtonInfo &info : kMediaButtons)
        button(info.button)->setEnabled(isButtonEnabled(info.button, m_mode, can));
    keepKeyButtonEnabled();
}

void MediaControl::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        moveKeyButton(-1);
        return;
    case Qt::Key_Right:
    case Qt::Key_Down:
        moveKeyButton(1);
        return;
    case Qt::Key_Home:
        setKeyButton(kMediaButtons.front().button);
        if (!button(m_keyButton)->isEnabled())
            moveKeyButton(1);
        return;
    case Qt::Key_End:
        setKeyButton(kMediaButtons.back().button);
        if (!button(m_keyButton)->isEnabled())
            moveKeyButton(-1);
        return;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A disabled button ignores the click, as it ignores the mouse.
        button(m_keyButton)->click();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void MediaControl::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    setKeyButton(m_keyButton);
}

void MediaControl::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    button(m_keyButton)->setKeyboardMark(false);
}

bool MediaControl::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        if (auto *b = qobject_cast<MediaButtonWidget *>(watched); b && b->isEnabled())
            setKeyButton(b->button());
    }
    return QWidget::eventFilter(watched, event);
}

void MediaControl::moveKeyButton(int step)
{
    const int count = static_cast<int>(m_buttons.size());
    for (int i = static_cast<int>(m_keyButton) + step; i >= 0 && i < count; i += step) {
        if (m_buttons[static_cast<std::size_t>(i)]->isEnabled()) {
            setKeyButton(static_cast<MediaButton>(i));
            return;
        }
    }
}

void MediaControl::setKeyButton(MediaButton which)
{
    button(m_keyButton)->setKeyboardMark(false);
    m_keyButton = which;
    if (!hasFocus())
        return;
    MediaButtonWidget *b = button(which);
    b->setKeyboardMark(true);
    // The buttons never hold the focus themselves; assistive tools are told which one the
    // keyboard is on as if it did.
    if (QAccessible::isActive()) {
        QAccessibleEvent focused(b, QAccessible::Focus);
        QAccessible::updateAccessibility(&focused);
    }
}

void MediaControl::keepKeyButtonEnabled()
{
    if (button(m_keyButton)->isEnabled())
        return;
    const int count = static_cast<int>(m_buttons.size());
    const int here = static_cast<int>(m_keyButton);
    for (int distance = 1; distance < count; ++distance) {
        for (const int i : {here + distance, here - distance}) {
            if (i >= 0 && i < count && m_buttons[static_cast<std::size_t>(i)]->isEnabled()) {
                setKeyButton(static_cast<MediaButton>(i));
                return;
            }
        }
    }
}

} // namespace zyr::media
