#pragma once

#include "media/devices/AudioPlayback.h"
#include "media/devices/MediaDevice.h"
#include "media/output/AudioSinkFactory.h"

#include <memory>

namespace zyr::media {

// A device whose medium is sound played through the kit's audio sink: a subclass makes the
// AudioSource for a name in openSource(), and this class plays it, keeps its position in
// milliseconds and reports its end. UI thread only, like every MediaDevice.
class AudioPlaybackDevice : public MediaDevice {
    Q_OBJECT
public:
    explicit AudioPlaybackDevice(AudioSinkFactory sinks, QObject *parent = nullptr);

    Result<void> open(const QString &fileName) override;
    Result<void> play() override;
    Result<void> pause() override;
    Result<void> stop() override;
    Result<void> seek(std::int64_t positionMs) override;
    std::int64_t lengthMs() const override;
    std::int64_t positionMs() const override;

protected:
    // Makes the source of the named medium; quick (headers only).
    virtual Result<std::unique_ptr<AudioSource>> openSource(const QString &fileName) = 0;

    // The playback of the open medium; null before a successful open.
    AudioPlayback *playback() const { return m_playback.get(); }
    // Source frames in milliseconds, rounded as the length is.
    std::int64_t framesToMs(std::int64_t frames) const;

private:
    AudioSinkFactory m_sinks;
    std::unique_ptr<AudioPlayback> m_playback;
    int m_rate = 0;
};

} // namespace zyr::media
