#pragma once
// A device for the control's tests: a medium of any length and tracks, whose playback ends
// when the test says so (or at once, for a medium of length 0), and that records what the
// control asked of it.

#include "media/devices/MediaDevice.h"

#include <QStringList>
#include <QTimer>

namespace zyr::test {

class FakeDevice : public media::MediaDevice {
public:
    std::int64_t length = 10000;
    std::vector<std::int64_t> tracks{0};
    media::DeviceCapabilities caps;
    bool failOpen = false;
    std::int64_t position = 0;
    bool playing = false;
    QStringList calls;

    media::Result<void> open(const QString &name) override
    {
        calls << QStringLiteral("open ") + name;
        if (failOpen)
            return media::makeError(media::ErrorKind::FileNotFound, QStringLiteral("no such"));
        return {};
    }
    media::Result<void> play() override
    {
        calls << QStringLiteral("play");
        playing = true;
        if (position >= length) // nothing left to play: it ends at once
            QTimer::singleShot(0, this, [this] { finish(); });
        return {};
    }
    media::Result<void> pause() override
    {
        calls << QStringLiteral("pause");
        playing = false;
        return {};
    }
    media::Result<void> stop() override
    {
        calls << QStringLiteral("stop");
        playing = false;
        return {};
    }
    media::Result<void> seek(std::int64_t ms) override
    {
        calls << QStringLiteral("seek %1").arg(ms);
        position = std::clamp<std::int64_t>(ms, 0, length);
        return {};
    }
    media::Result<void> eject() override
    {
        if (!caps.canEject)
            return MediaDevice::eject();
        calls << QStringLiteral("eject");
        QTimer::singleShot(0, this, [this] { emit ejectFinished({media::ErrorKind::None, {}}); });
        return {};
    }
    media::Result<void> load() override
    {
        if (!caps.canEject)
            return MediaDevice::load();
        calls << QStringLiteral("load");
        return {};
    }
    std::int64_t lengthMs() const override { return length; }
    std::int64_t positionMs() const override { return position; }
    std::vector<std::int64_t> trackStartsMs() const override { return tracks; }
    media::DeviceCapabilities capabilities() const override { return caps; }

    // The playback reaches the end of the medium.
    void finish()
    {
        position = length;
        playing = false;
        emit playbackFinished();
    }
};

} // namespace zyr::test
