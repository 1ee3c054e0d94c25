#include "desktop/MprisPlayerAdaptor.h"

#include "app/BusObject.h"
#include "app/HandlerGuard.h"
#include "app/OutsideMedium.h"
#include "desktop/LastUsedControl.h"
#include "media/ComponentProperties.h"
#include "media/MediaButtonWidget.h"
#include "media/MediaControl.h"

#include <QDBusMessage>
#include <QUrl>

#include <algorithm>
#include <limits>

namespace zyr::desktop {

namespace {

const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
constexpr qlonglong kMicrosecondsPerMs = 1000;

bool isPlaying(media::ControlMode mode)
{
    return mode == media::ControlMode::Playing || mode == media::ControlMode::Recording;
}

} // namespace

MprisPlayerAdaptor::MprisPlayerAdaptor(BusObject *exported, LastUsedControl &tracker,
                                       QDBusConnection connection, QString objectPath, Opener open)
    : QDBusAbstractAdaptor(exported), m_tracker(tracker), m_connection(std::move(connection)),
      m_objectPath(std::move(objectPath)), m_open(std::move(open)),
      m_announced(state().announcedProperties())
{
    connect(&m_tracker, &LastUsedControl::changed, this, &MprisPlayerAdaptor::follow);
    follow(m_tracker.control());
}

MprisPlayerAdaptor::~MprisPlayerAdaptor()
{
    for (const QMetaObject::Connection &c : m_followed)
        disconnect(c);
}

PlayerState MprisPlayerAdaptor::state() const
{
    return playerStateOf(m_tracker.control(), m_mediaSerial);
}

void MprisPlayerAdaptor::follow(media::MediaControl *control)
{
    for (const QMetaObject::Connection &c : m_followed)
        disconnect(c);
    m_followed.clear();
    ++m_mediaSerial;
    if (control) {
        const auto announce = [this] { announceChanges(); };
        m_followed = {
            connect(control, &media::MediaControl::modeChanged, this,
                    [this](media::ControlMode mode) {
                        // A medium just opened, or a disc loaded, is a new one.
                        if (mode == media::ControlMode::Stopped &&
                            m_announced.value(QStringLiteral("Metadata")).toMap().isEmpty())
                            ++m_mediaSerial;
                        announceChanges();
                    }),
            connect(control, &media::MediaControl::buttonCompleted, this, announce),
            connect(control, &media::MediaControl::statusUpdate, this, announce),
            connect(control, &media::MediaControl::done, this, announce),
        };
    }
    announceChanges();
}

void MprisPlayerAdaptor::announceChanges()
{
    const QVariantMap now = state().announcedProperties();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it)
        if (m_announced.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    m_announced = now;
    if (changed.isEmpty())
        return;
    QDBusMessage signal =
        QDBusMessage::createSignal(m_objectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    // Nobody may be listening, and a lost bus is no reason to stop the kit: the outcome of the
    // send is not needed.
    m_connection.send(signal);
}

void MprisPlayerAdaptor::press(media::MediaButton button)
{
    media::MediaControl *control = m_tracker.control();
    if (!control)
        return;
    const QString trackBefore = state().trackId;
    guardHandler([&] { control->button(button)->click(); });
    announceChanges();
    // Prev and Next on a single track move within it; the desktop hears of that as a seek.
    const bool skip = button == media::MediaButton::Prev || button == media::MediaButton::Next;
    const PlayerState after = state();
    if (skip && !after.trackId.isEmpty() && after.trackId == trackBefore)
        emit Seeked(after.positionUs);
}

void MprisPlayerAdaptor::Next()
{
    press(media::MediaButton::Next);
}

void MprisPlayerAdaptor::Previous()
{
    press(media::MediaButton::Prev);
}

void MprisPlayerAdaptor::Pause()
{
    // Pause while paused would play on; the desktop's Pause leaves a paused player alone.
    if (media::MediaControl *control = m_tracker.control(); control && isPlaying(control->mode()))
        press(media::MediaButton::Pause);
}

void MprisPlayerAdaptor::PlayPause()
{
    media::MediaControl *control = m_tracker.control();
    if (!control)
        return;
    press(isPlaying(control->mode()) ? media::MediaButton::Pause : media::MediaButton::Play);
}

void MprisPlayerAdaptor::Stop()
{
    press(media::MediaButton::Stop);
}

void MprisPlayerAdaptor::Play()
{
    // Play while playing would start again from the current place and end the running play
    // with Done; the desktop's Play leaves a playing player alone.
    if (media::MediaControl *control = m_tracker.control(); control && !isPlaying(control->mode()))
        press(media::MediaButton::Play);
}

void MprisPlayerAdaptor::seekTo(media::MediaControl &control, std::int64_t positionMs)
{
    guardHandler([&] {
        media::MediaControlProperties mm(control);
        mm.setTo(static_cast<std::int32_t>(
            std::clamp<std::int64_t>(positionMs, 0, std::numeric_limits<std::int32_t>::max())));
        mm.setCommand(QStringLiteral("Seek"));
    });
    // A seek on a disc may land in another track.
    announceChanges();
    emit Seeked(state().positionUs);
}

void MprisPlayerAdaptor::Seek(qlonglong Offset)
{
    media::MediaControl *control = m_tracker.control();
    if (control && control->canSeek())
        seekTo(*control, std::int64_t{control->position()} + Offset / kMicrosecondsPerMs);
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath &TrackId, qlonglong Position)
{
    media::MediaControl *control = m_tracker.control();
    const PlayerState now = state();
    if (!control || !now.canSeek || TrackId.path() != now.trackId || Position < 0 ||
        Position > now.lengthUs)
        return;
    seekTo(*control, now.trackStartMs + Position / kMicrosecondsPerMs);
}

void MprisPlayerAdaptor::OpenUri(const QString &Uri)
{
    if (!openedUriSchemes().contains(QUrl(Uri).scheme(), Qt::CaseInsensitive)) {
        BusObject::context(*this).sendErrorReply(
            QDBusError::NotSupported,
            QStringLiteral("The kit opens only file:// and cdda:// URIs."));
        return;
    }
    guardHandler([&] { m_open(Uri); });
}

} // namespace zyr::desktop
