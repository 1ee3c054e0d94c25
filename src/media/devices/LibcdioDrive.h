#pragma once
// A CD drive through libcdio: the system's default drive, or a cue/bin image standing in for a
// drive with a disc in it (the tests' discs, and a way to try the player without a drive).
//
// Sound is read through libcdio-paranoia, which re-reads and cross-checks what a drive returns
// and retries sectors it cannot read. An image is read through paranoia too: the image's data
// is exact, so paranoia finds nothing to correct, but the sound takes the path a disc's takes.
// Should paranoia fail to start on an image, the image is read with plain
// cdio_read_audio_sectors() instead (ReadMethod::Automatic); a file needs no verifying.
//
// Images: libcdio reads the bin named like the cue sheet (disc.cue -> disc.bin), whatever the
// sheet's FILE line says, and takes the length of the last track from the bin's size. An image
// whose bin ends before a track the cue sheet lists is refused as CorruptMedia, and a reader
// refuses sectors past the end of the bin as it is now (libcdio would pass them off as read).
//
// Threads: see CdDrive. The object keeps no handle open between calls; every call opens the
// drive or image for itself, so calls on different threads do not share libcdio state.

#include "media/devices/CdDrive.h"

#include <QString>

#include <memory>
#include <mutex>

namespace zyr::media {

class LibcdioDrive : public CdDrive {
public:
    enum class ReadMethod {
        Automatic, // paranoia; an image paranoia cannot start on is read directly
        Paranoia,  // paranoia only: openReader() fails where it cannot start
        Direct     // cdio_read_audio_sectors(), no verification (images; drives that are exact)
    };

    // Times paranoia re-reads a sector it cannot verify before it gives up on it. Paranoia
    // checks this limit on every fifth retry only, so 5 is the smallest that takes effect.
    static constexpr int kParanoiaRetries = 5;

    // Sectors between the sessions of an Enhanced CD (lead-out 6750, lead-in 4500, pregap 150):
    // counted in the last audio track by the table of contents, but not readable.
    static constexpr int kSessionGapSectors = 11400;

    // The system's default CD drive, looked up on every call that needs it, so that a drive that
    // appears later is found. No I/O here; UI thread.
    LibcdioDrive();
    // The drive at a device node such as /dev/sr1. No I/O here; UI thread.
    struct Node {
        QString path;
    };
    explicit LibcdioDrive(Node node);
    // A cue sheet, or its bin with the cue sheet beside it. No I/O here; UI thread.
    explicit LibcdioDrive(QString imagePath, ReadMethod method = ReadMethod::Automatic);
    ~LibcdioDrive() override;

    LibcdioDrive(const LibcdioDrive &) = delete;
    LibcdioDrive &operator=(const LibcdioDrive &) = delete;

    // Whether this drive is an image. Any thread, no I/O.
    bool isImage() const { return m_isImage; }

    QString source() const override;
    Result<CdToc> readToc() override;
    Result<std::unique_ptr<SectorReader>> openReader() override;
    Result<void> openTray() override;
    Result<void> closeTray() override;
    // Asks the drive whether it is ready (TEST UNIT READY) and, when not, whether it says it is
    // becoming ready. Always false for an image, which is ready or has no disc.
    bool isBecomingReady() override;

private:
    class Reader;
    struct ImageTray;
    struct OpenedDisc;

    // Opens the drive or image and reads and checks its table of contents: the common start
    // of readToc() and openReader().
    Result<OpenedDisc> openDisc() const;

    // The device node of the drive: the one it was made for, else libcdio's default device, or
    // on Linux the usual node of a drive libcdio does not list because its tray is empty.
    Result<QString> findDevice() const;

    const bool m_isImage;
    const QString m_imagePath;
    const QString m_node; // the drive's node when it was made for one
    const ReadMethod m_method;
    // The image's tray, shared with its readers so that they see it open; null for a drive.
    const std::shared_ptr<ImageTray> m_tray;

    mutable std::mutex m_mutex;
    // The node the default drive was last found at; guarded by m_mutex.
    mutable QString m_lastDevice;
};

} // namespace zyr::media
