#pragma once
// A CdDrive whose every call runs on the CDAudio device's drive thread while the caller waits,
// and lets go at once when its group of calls is abandoned: what the playback's worker reads
// the disc through, so that ending a playback never waits on the drive. The readers it opens
// are used and released on the drive thread only.
//
// A call abandoned before it has answered fails with DeviceUnavailable "The disc is no longer
// read."; otherwise every call answers as the drive's own does.
//
// Threads: any, one call at a time per reader, as CdDrive says; each call blocks its caller
// until the drive's thread has run it or the group is abandoned.

#include "media/devices/CdDrive.h"
#include "media/devices/CdDriveThread.h"

namespace zyr::media {

class QueuedCdDrive : public CdDrive {
public:
    QueuedCdDrive(std::shared_ptr<CdDrive> drive, std::shared_ptr<CdDriveCalls> calls);

    QString source() const override { return m_drive->source(); }
    Result<CdToc> readToc() override;
    Result<std::unique_ptr<SectorReader>> openReader() override;
    Result<void> openTray() override;
    Result<void> closeTray() override;
    bool isBecomingReady() override;

private:
    class Reader;

    const std::shared_ptr<CdDrive> m_drive;
    const std::shared_ptr<CdDriveCalls> m_calls;
};

} // namespace zyr::media
