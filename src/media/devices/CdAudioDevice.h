#pragma once
// The "CDAudio" device: the audio tracks of the disc in the system's default CD drive, played
// one after another through the kit's audio sink; positions and the length are milliseconds on
// the disc's audio timeline, and Prev and Next move between its tracks.
//
// Given a file name, the device opens that drive, when it names a device node (/dev/sr1), or
// else that cue/bin image instead of the default drive: what the CD window is handed when a
// disc or an image is opened from outside the kit, and what the tests and zyr-probe use.
//
// The drive. Everything that waits on the drive runs on the device's own thread (CdDriveThread),
// the playback's sector reads included, so that no member but open() waits on it:
// - open() closes the tray, waits for the drive to recognise the disc and reads its table of
//   contents, and gives up after CdDriveTiming::openLimit.
// - eject() lets the disc go and opens the tray; ejectFinished() follows once it has moved.
// - load() fails at once while the tray is open (the user is changing the disc, and Open is what
//   closes it again); with the tray closed it reads the disc again, and discRead() follows.
// - play() from a halt first reads the table of contents again, so that a disc changed by hand
//   is noticed, and plays once the drive has answered: the same disc from where it stands,
//   another one from its start. A drive that answers no disc ends that play with discRead().
// Eject and Load drop the answer of a read of the disc still under way, and the play waiting
// for it.

#include "media/devices/AudioPlayback.h"
#include "media/devices/CdDrive.h"
#include "media/devices/CdDriveThread.h"
#include "media/devices/MediaDevice.h"
#include "media/output/AudioSinkFactory.h"

#include <chrono>
#include <functional>
#include <memory>

namespace zyr::media {

// How long the CDAudio device waits on its drive.
struct CdDriveTiming {
    // Open gives up on a drive that has answered nothing by then: closing a tray and spinning a
    // disc up take up to ten seconds on slow drives.
    std::chrono::milliseconds openLimit{15000};
    // How often a drive still recognising its disc is asked again: often enough that the disc
    // plays soon after it is ready, seldom enough to leave the drive to its work.
    std::chrono::milliseconds spinUpPoll{250};
};

class CdAudioDevice : public MediaDevice {
    Q_OBJECT
public:
    // Makes the drive for a file name: the default drive for an empty one, else an image.
    using DriveFactory = std::function<std::shared_ptr<CdDrive>(const QString &fileName)>;

    explicit CdAudioDevice(AudioSinkFactory sinks, DriveFactory drives = {},
                           CdDriveTiming timing = {}, QObject *parent = nullptr);
    ~CdAudioDevice() override;

    Result<void> open(const QString &fileName) override;
    Result<void> play() override;
    Result<void> pause() override;
    Result<void> stop() override;
    Result<void> seek(std::int64_t positionMs) override;
    Result<void> eject() override;
    Result<void> load() override;
    std::int64_t lengthMs() const override;
    std::int64_t positionMs() const override;
    std::vector<std::int64_t> trackStartsMs() const override;
    DeviceCapabilities capabilities() const override { return {false, false, true}; }
    // Opening always waits on the drive.
    bool isReadyToOpen() const override { return false; }

    // The drive the real device uses for a file name: the default drive for an empty one, the
    // drive at a device node, else an image.
    static std::shared_ptr<CdDrive> defaultDrive(const QString &fileName);

private:
    // Makes the playback of `toc`, read through the drive's thread.
    Result<void> makePlayback(CdToc toc);
    // Lets go of the playback and its reads without waiting on the drive.
    void dropPlayback();
    // Reads the table of contents again on the drive's thread; onDiscRead() answers.
    void readDisc();
    void onDiscRead(Result<CdToc> toc);
    // Drops the answer of a read of the disc still under way, and the play waiting for it.
    void dropDiscRead();

    AudioSinkFactory m_sinks;
    DriveFactory m_drives;
    const CdDriveTiming m_timing;
    std::shared_ptr<CdDrive> m_drive;
    CdToc m_toc;
    std::unique_ptr<AudioPlayback> m_playback;
    bool m_trayOpen = false;   // this device opened it, and Open has not closed it since
    bool m_playWanted = false; // a play waiting for the read of the disc
    std::unique_ptr<CdDriveThread> m_thread;       // null until open()
    std::shared_ptr<CdDriveCalls> m_trayCalls;     // the tray's moves
    std::shared_ptr<CdDriveCalls> m_discCalls;     // the read of the disc under way, if any
    std::shared_ptr<CdDriveCalls> m_playbackCalls; // the playback's reads
};

} // namespace zyr::media
