#include "desktop/PlayerState.h"

#include "media/MediaButtonWidget.h"
#include "media/MediaControl.h"

#include <QDBusObjectPath>
#include <QFileInfo>

#include <algorithm>

namespace zyr::desktop {

namespace {

constexpr std::int64_t kMicrosecondsPerMs = 1000;

QString statusOf(media::ControlMode mode)
{
    switch (mode) {
    case media::ControlMode::Playing:
    case media::ControlMode::Recording:
        return QStringLiteral("Playing");
    case media::ControlMode::Paused:
        return QStringLiteral("Paused");
    case media::ControlMode::NoDevice:
    case media::ControlMode::Stopped:
    case media::ControlMode::TrayOpen:
        break;
    }
    return QStringLiteral("Stopped");
}

bool enabled(const media::MediaControl &control, media::MediaButton button)
{
    return control.button(button)->isEnabled();
}

} // namespace

QVariantMap PlayerState::metadata() const
{
    if (trackId.isEmpty())
        return {};
    return {
        {QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(trackId))},
        {QStringLiteral("xesam:title"), title},
        {QStringLiteral("mpris:length"), QVariant::fromValue<qlonglong>(lengthUs)},
    };
}

QVariantMap PlayerState::announcedProperties() const
{
    return {
        {QStringLiteral("PlaybackStatus"), playbackStatus},
        {QStringLiteral("Metadata"), metadata()},
        {QStringLiteral("CanPlay"), canPlay},
        {QStringLiteral("CanPause"), canPause},
        {QStringLiteral("CanGoNext"), canGoNext},
        {QStringLiteral("CanGoPrevious"), canGoPrevious},
        {QStringLiteral("CanSeek"), canSeek},
    };
}

PlayerState playerStateOf(const media::MediaControl *control, int mediaSerial)
{
    PlayerState state;
    if (!control)
        return state;
    const media::ControlMode mode = control->mode();
    state.playbackStatus = statusOf(mode);
    using media::MediaButton;
    // Play while playing changes nothing, but playing is still what the control can do.
    state.canPlay = enabled(*control, MediaButton::Play) || mode == media::ControlMode::Playing;
    state.canPause = enabled(*control, MediaButton::Pause);
    state.canGoNext = enabled(*control, MediaButton::Next);
    state.canGoPrevious = enabled(*control, MediaButton::Prev);
    state.canSeek = control->canSeek();
    if (mode == media::ControlMode::NoDevice || mode == media::ControlMode::TrayOpen)
        return state;

    // The track the position lies in: the last one starting at or before it.
    const std::vector<std::int64_t> starts = control->trackStartsMs();
    const std::int64_t position = control->position();
    const std::int64_t length = control->length();
    std::size_t track = 0;
    for (std::size_t i = 0; i < starts.size(); ++i)
        if (starts[i] <= position)
            track = i;
    const std::int64_t start = starts.empty() ? 0 : starts[track];
    const std::int64_t end = track + 1 < starts.size() ? starts[track + 1] : length;

    const QString file = QFileInfo(control->fileName()).fileName();
    const bool disc =
        control->deviceType().compare(QStringLiteral("CDAudio"), Qt::CaseInsensitive) == 0 ||
        file.isEmpty();
    state.title = disc ? QStringLiteral("Track %1").arg(track + 1) : file;
    state.trackId =
        QStringLiteral("/org/zyr/MultimediaKit/media%1/track%2").arg(mediaSerial).arg(track + 1);
    state.trackStartMs = start;
    const std::int64_t span = std::max<std::int64_t>(0, end - start);
    state.lengthUs = span * kMicrosecondsPerMs;
    state.positionUs = std::clamp<std::int64_t>(position - start, 0, span) * kMicrosecondsPerMs;
    return state;
}

} // namespace zyr::desktop
