#pragma once
// One open medium of one device type, as the media device control sees it. The control knows
// devices only through this interface; the device types are listed in DeviceTypes.
//
// Threads. Every member is called on the UI thread and returns without waiting on I/O of the
// medium (open() may read headers, or wait for a drive within a limit). A device that plays owns
// its worker thread; the worker reports through queued calls, so the signals below are emitted on
// the UI thread.
//
// Positions and lengths are milliseconds. When a playback runs to its end the position equals
// the length exactly.

#include "media/core/Result.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <vector>

namespace zyr::media {

// What a device can do beyond play, pause, stop and seek.
struct DeviceCapabilities {
    bool canStep = false;   // Back and Step by one frame
    bool canRecord = false; // Record into the open medium
    bool canEject = false;  // a tray to open and close
};

class MediaDevice : public QObject {
    Q_OBJECT
public:
    // Quiets the media libraries (LibraryMessages.h) before the device first calls into them.
    explicit MediaDevice(QObject *parent = nullptr);
    ~MediaDevice() override = default;

    // Opens the medium (a file path, or for a disc an empty name). Fails with a positive-kind
    // error and a message; a device whose open failed is discarded by the control.
    virtual Result<void> open(const QString &fileName) = 0;

    // Starts or resumes playing from the current position. Playing at the end finishes at once.
    virtual Result<void> play() = 0;
    // Holds playback at the current position; play() or resume() goes on from there.
    virtual Result<void> pause() = 0;
    // Stops playing and keeps the current position.
    virtual Result<void> stop() = 0;
    // Moves to `positionMs` (clamped to the medium) and keeps playing if it was playing.
    virtual Result<void> seek(std::int64_t positionMs) = 0;

    // Moves by `frames` frames (negative: back), where the device has frames.
    virtual Result<void> step(int frames);
    // Records into the medium at the current position, where the device can; stop() ends the
    // recording, pause() holds it and record() resumes it, play() ends it and plays on from
    // where it ended, and a seek ends it and records on from the new place.
    virtual Result<void> record();
    // Opens the tray, where there is one. Returns at once: the tray moves off the UI thread,
    // and ejectFinished() follows.
    virtual Result<void> eject();
    // Reads the disc again, where there is a tray. Returns at once: fails while the tray is
    // open; otherwise the disc is read off the UI thread, and discRead() follows.
    virtual Result<void> load();

    virtual std::int64_t lengthMs() const = 0;
    virtual std::int64_t positionMs() const = 0;

    // Where the tracks start, in ascending order; a file is one track starting at 0.
    virtual std::vector<std::int64_t> trackStartsMs() const { return {0}; }

    virtual DeviceCapabilities capabilities() const { return {}; }

    // Whether open() can start at once; false while it would first wait for something shared
    // to finish loading, or for a drive (the control shows the busy cursor while it waits).
    virtual bool isReadyToOpen() const { return true; }

signals:
    // The playback ran to its end; the position now equals the length.
    void playbackFinished();
    // The playback stopped because the medium failed while playing (read or decode error).
    void playbackFailed(const zyr::media::MediaError &error);
    // The device paused itself (its window was closed, or it stepped by a frame while playing).
    void pausedFromOutside();
    // An eject started by eject() has finished; `error` is empty on success.
    void ejectFinished(const zyr::media::MediaError &error);
    // The device has read its disc again (after load(), or before a play, to notice a disc
    // changed by hand), and found another one, or none: `error` is empty when a disc is ready
    // (its length, tracks and position are now the device's), else it says why there is none,
    // and a play that waited for the disc has ended.
    void discRead(const zyr::media::MediaError &error);
    // What capabilities() reports has changed (a device learns some of it only after opening).
    void capabilitiesChanged();
};

} // namespace zyr::media
