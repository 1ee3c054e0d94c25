#pragma once
// What the desktop's Player interface publishes about a media device control, read from the
// control in one go: the playback status, the current track and what the buttons allow.
// Positions and lengths are in microseconds, as the desktop counts them. UI thread only.

#include <QString>
#include <QVariantMap>

#include <cstdint>

namespace zyr::media {
class MediaControl;
}

namespace zyr::desktop {

struct PlayerState {
    QString playbackStatus = QStringLiteral("Stopped"); // "Playing", "Paused" or "Stopped"
    QString trackId;               // an object path; empty when no device is open
    QString title;                 // the file's name, or "Track N" on a disc
    std::int64_t lengthUs = 0;     // of the current track
    std::int64_t positionUs = 0;   // within the current track
    std::int64_t trackStartMs = 0; // where the current track starts in the medium
    bool canPlay = false;
    bool canPause = false;
    bool canGoNext = false;
    bool canGoPrevious = false;
    bool canSeek = false;

    // The Metadata property: trackid, title and length; empty with no track.
    QVariantMap metadata() const;

    // The properties whose changes are announced (everything but the position), by their
    // names on the Player interface.
    QVariantMap announcedProperties() const;
};

// The state of `control`, null for none; `mediaSerial` tells apart media opened one after the
// other in the track ids.
PlayerState playerStateOf(const media::MediaControl *control, int mediaSerial);

} // namespace zyr::desktop
