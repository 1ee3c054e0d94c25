#pragma once
// A drive for tests with a real one's manners: an image stands for the disc in it, the tray
// opens and closes (moving it to where it is does nothing), and a tray that closes on a disc
// leaves the drive recognising it for `spinUpAsks` asks of its table of contents. By hand, the
// user changes the disc or takes it out (changeDisc()); the drive can vanish. hold() makes every
// call wait until release(), as a drive that does not answer; holdReadsFrom() holds only the
// reads from a sector on, to catch a playback mid-disc. It counts what it is asked.

#include "media/devices/LibcdioDrive.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <limits>
#include <mutex>

namespace zyr::test {

class SlowTrayDrive : public media::CdDrive {
public:
    explicit SlowTrayDrive(const QString &image) { changeDisc(image); }

    QString source() const override { return QStringLiteral("simulated drive"); }
    media::Result<media::CdToc> readToc() override
    {
        wait();
        ++tocReads;
        const auto disc = readyDisc();
        return disc.ok() ? disc.value()->readToc() : disc.error();
    }
    media::Result<std::unique_ptr<SectorReader>> openReader() override
    {
        wait();
        const auto disc = readyDisc();
        auto opened = disc.ok() ? disc.value()->openReader() : disc.error();
        if (!opened.ok())
            return opened.error();
        return std::unique_ptr<SectorReader>(new Reader(*this, std::move(opened).value()));
    }
    media::Result<void> openTray() override { return moveTray(true); }
    media::Result<void> closeTray() override { return moveTray(false); }
    bool isBecomingReady() override
    {
        std::lock_guard lock(m_mutex);
        return m_disc && !m_trayOpen && !vanished;
    }

    // Puts the disc of `image` in (none for an empty path); readers of the one taken out fail.
    void changeDisc(const QString &image)
    {
        std::lock_guard lock(m_mutex);
        if (m_disc)
            (void)m_disc->openTray();
        m_disc = image.isEmpty() ? nullptr : std::make_shared<media::LibcdioDrive>(image);
        if (m_disc && m_trayOpen)
            (void)m_disc->openTray();
    }
    void hold() { setHeld(true, std::numeric_limits<std::int32_t>::max()); }
    void holdReadsFrom(std::int32_t sector) { setHeld(false, sector); }
    void release() { setHeld(false, std::numeric_limits<std::int32_t>::max()); }
    // Calls waiting for release() now.
    int waiting() const
    {
        std::lock_guard lock(m_mutex);
        return m_waiting;
    }

    std::atomic<int> opened{0};
    std::atomic<int> closed{0};
    std::atomic<int> tocReads{0};
    std::atomic<int> spinUpAsks{0};
    std::atomic<bool> vanished{false};

private:
    class Reader : public SectorReader {
    public:
        Reader(SlowTrayDrive &drive, std::unique_ptr<SectorReader> disc)
            : m_drive(drive), m_disc(std::move(disc))
        {
        }
        media::Result<int> readSectors(std::int32_t first, int count, std::int16_t *dst) override
        {
            m_drive.wait(first);
            return m_disc->readSectors(first, count, dst);
        }

    private:
        SlowTrayDrive &m_drive;
        std::unique_ptr<SectorReader> m_disc;
    };

    media::Result<void> moveTray(bool open)
    {
        wait();
        std::lock_guard lock(m_mutex);
        if (vanished)
            return media::makeError(media::ErrorKind::DeviceUnavailable,
                                    QStringLiteral("No CD drive."));
        if (m_trayOpen == open)
            return {};
        ++(open ? opened : closed);
        m_trayOpen = open;
        m_spinningUp = spinUpAsks;
        if (!m_disc)
            return {};
        return open ? m_disc->openTray() : m_disc->closeTray();
    }
    // The disc, when one can be read now.
    media::Result<std::shared_ptr<media::LibcdioDrive>> readyDisc()
    {
        std::lock_guard lock(m_mutex);
        if (vanished)
            return media::makeError(media::ErrorKind::DeviceUnavailable,
                                    QStringLiteral("No CD drive."));
        if (!m_disc || m_trayOpen || m_spinningUp > 0) {
            m_spinningUp = std::max(0, m_spinningUp - 1);
            return media::makeError(media::ErrorKind::DeviceUnavailable,
                                    QStringLiteral("No disc in the drive."));
        }
        return m_disc;
    }
    void setHeld(bool all, std::int32_t readsFrom)
    {
        std::lock_guard lock(m_mutex);
        m_held = all;
        m_holdFrom = readsFrom;
        m_released.notify_all();
    }
    // Waits while the drive is held, or reads of `sector` are.
    void wait(std::int32_t sector = -1)
    {
        std::unique_lock lock(m_mutex);
        const auto held = [&] { return m_held || sector >= m_holdFrom; };
        if (!held())
            return;
        ++m_waiting;
        m_released.wait(lock, [&] { return !held(); });
        --m_waiting;
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_held = false;
    std::int32_t m_holdFrom = std::numeric_limits<std::int32_t>::max();
    int m_waiting = 0;
    std::shared_ptr<media::LibcdioDrive> m_disc;
    bool m_trayOpen = false;
    int m_spinningUp = 0;
};

} // namespace zyr::test
