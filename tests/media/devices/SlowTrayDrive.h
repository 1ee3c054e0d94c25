#pragma once
// A drive for tests whose tray takes its time to move, as a real one does: an image drive
// whose openTray() and closeTray() sleep first, and count their calls. It can also refuse to
// close (a slot drive, or a tray the user holds) so that a Load fails.

#include "media/devices/LibcdioDrive.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace zyr::test {

class SlowTrayDrive : public media::LibcdioDrive {
public:
    SlowTrayDrive(const QString &image, std::chrono::milliseconds travel)
        : LibcdioDrive(image), m_travel(travel)
    {
    }

    media::Result<void> openTray() override
    {
        std::this_thread::sleep_for(m_travel);
        ++opened;
        return LibcdioDrive::openTray();
    }
    media::Result<void> closeTray() override
    {
        std::this_thread::sleep_for(m_travel);
        ++closed;
        if (refuseToClose)
            return media::makeError(media::ErrorKind::DeviceUnavailable,
                                    QStringLiteral("The tray cannot be closed."));
        return LibcdioDrive::closeTray();
    }

    std::atomic<int> opened{0};
    std::atomic<int> closed{0};
    std::atomic<bool> refuseToClose{false};

private:
    std::chrono::milliseconds m_travel;
};

} // namespace zyr::test
