#pragma once
// The org.mpris.MediaPlayer2.Player interface: the desktop's media keys and sound applets acting
// on the media device control the user used last (see LastUsedControl).
//
// Every transport method goes through that control's own button, exactly as a click on it: the
// window's Click and Completed handlers run, a handler may cancel, and a disabled button does
// nothing. Seek and SetPosition move the position through the control's "Seek" command, which
// keeps it playing or paused; the window's position bar follows on its next status update.
// OpenUri opens a file:// or cdda:// medium as the command line does. The properties follow the
// control's mode and its buttons' enabling; a change of any of them but the position is
// announced with PropertiesChanged once the control reports it (mode, button completed, status
// update, done). UI thread only.

#include "desktop/PlayerState.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QVariantMap>

#include <functional>
#include <vector>

namespace zyr {
class BusObject;
}

namespace zyr::media {
class MediaControl;
enum class MediaButton;
} // namespace zyr::media

namespace zyr::desktop {

class LastUsedControl;

class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(double Volume READ volume)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPause)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ canControl)
public:
    // Opens a medium named by a URI; must return at once.
    using Opener = std::function<void(const QString &uri)>;

    // Announces changes on `connection` as the object at `objectPath`.
    MprisPlayerAdaptor(BusObject *exported, LastUsedControl &tracker, QDBusConnection connection,
                       QString objectPath, Opener open);
    ~MprisPlayerAdaptor() override;

    QString playbackStatus() const { return state().playbackStatus; }
    double rate() const { return 1.0; }
    double volume() const { return 1.0; }
    QVariantMap metadata() const { return state().metadata(); }
    qlonglong position() const { return state().positionUs; }
    bool canPlay() const { return state().canPlay; }
    bool canPause() const { return state().canPause; }
    bool canGoNext() const { return state().canGoNext; }
    bool canGoPrevious() const { return state().canGoPrevious; }
    bool canSeek() const { return state().canSeek; }
    // The kit can always be controlled; with no player used yet the methods do nothing.
    bool canControl() const { return true; }

public slots:
    void Next();
    void Previous();
    void Pause();
    void PlayPause();
    void Stop();
    void Play();
    // Moves by `Offset` microseconds on the medium's timeline; does nothing while CanSeek is
    // false.
    void Seek(qlonglong Offset);
    // Moves to `Position` microseconds into the current track; does nothing for another track
    // or a position outside it, or while CanSeek is false.
    void SetPosition(const QDBusObjectPath &TrackId, qlonglong Position);
    // Answers with an error for a URI of another scheme.
    void OpenUri(const QString &Uri);

signals:
    void Seeked(qlonglong Position);

private:
    PlayerState state() const;
    // Clicks `button` on the control used last, if there is one.
    void press(media::MediaButton button);
    void follow(media::MediaControl *control);
    // Sends PropertiesChanged for what differs from what was announced last.
    void announceChanges();
    // Seeks the control used last to `positionMs` in its medium, then tells Seeked.
    void seekTo(media::MediaControl &control, std::int64_t positionMs);

    LastUsedControl &m_tracker;
    QDBusConnection m_connection;
    QString m_objectPath;
    Opener m_open;
    std::vector<QMetaObject::Connection> m_followed;
    QVariantMap m_announced;
    int m_mediaSerial = 0;
};

} // namespace zyr::desktop
