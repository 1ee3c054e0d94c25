#pragma once
// The "CDAudio" device: the audio tracks of the disc in the system's default CD drive, played
// one after another through the kit's audio sink; positions and the length are milliseconds on
// the disc's audio timeline, and Prev and Next move between its tracks.
//
// Given a file name, the device opens that drive, when it names a device node (/dev/sr1), or
// else that cue/bin image instead of the default drive: what the CD window is handed when a
// disc or an image is opened from outside the kit, and what the tests and zyr-probe use.
//
// Eject moves the tray on a thread of its own and reports ejectFinished() on the UI thread once
// the tray has moved; Load closes the tray and opens the disc again. Opening reads the disc's
// table of contents, which a real drive may take a moment to give after a disc goes in.

#include "media/devices/AudioPlayback.h"
#include "media/devices/CdDrive.h"
#include "media/devices/MediaDevice.h"
#include "media/output/AudioSinkFactory.h"

#include <functional>
#include <memory>
#include <thread>

namespace zyr::media {

class CdAudioDevice : public MediaDevice {
    Q_OBJECT
public:
    // Makes the drive for a file name: the default drive for an empty one, else an image.
    using DriveFactory = std::function<std::shared_ptr<CdDrive>(const QString &fileName)>;

    explicit CdAudioDevice(AudioSinkFactory sinks, DriveFactory drives = {},
                           QObject *parent = nullptr);
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

    // The drive the real device uses for a file name: the default drive for an empty one, the
    // drive at a device node, else an image.
    static std::shared_ptr<CdDrive> defaultDrive(const QString &fileName);

private:
    // Reads the table of contents and makes the playback of the disc's audio tracks.
    Result<void> openDisc();

    AudioSinkFactory m_sinks;
    DriveFactory m_drives;
    std::shared_ptr<CdDrive> m_drive;
    CdToc m_toc;
    std::unique_ptr<AudioPlayback> m_playback;
    std::thread m_trayMover;
};

} // namespace zyr::media
