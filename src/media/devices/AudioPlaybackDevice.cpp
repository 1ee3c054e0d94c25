#include "media/devices/AudioPlaybackDevice.h"

namespace zyr::media {

AudioPlaybackDevice::AudioPlaybackDevice(AudioSinkFactory sinks, QObject *parent)
    : MediaDevice(parent), m_sinks(std::move(sinks))
{
}

Result<void> AudioPlaybackDevice::open(const QString &fileName)
{
    m_playback.reset();
    Result<std::unique_ptr<AudioSource>> source = openSource(fileName);
    if (!source.ok())
        return source.error();
    if (source.value()->lengthFrames() < 0)
        return makeError(ErrorKind::UnsupportedFormat,
                         QStringLiteral("The length of the sound cannot be told."));
    m_rate = source.value()->sourceFormat().sampleRate;
    std::unique_ptr<AudioSink> sink = m_sinks ? m_sinks() : nullptr;
    if (!sink)
        return makeError(ErrorKind::DeviceUnavailable, QStringLiteral("No audio output."));
    m_playback = std::make_unique<AudioPlayback>(std::move(source).value(), std::move(sink));
    connect(m_playback.get(), &AudioPlayback::finished, this, &MediaDevice::playbackFinished);
    connect(m_playback.get(), &AudioPlayback::failed, this, &MediaDevice::playbackFailed);
    return {};
}

Result<void> AudioPlaybackDevice::play()
{
    m_playback->play();
    return {};
}

Result<void> AudioPlaybackDevice::pause()
{
    m_playback->pause();
    return {};
}

Result<void> AudioPlaybackDevice::stop()
{
    m_playback->stop();
    return {};
}

Result<void> AudioPlaybackDevice::seek(std::int64_t positionMs)
{
    // The frame whose time is at or just before the position.
    m_playback->seekToFrame(m_rate > 0 ? positionMs * m_rate / 1000 : 0);
    return {};
}

std::int64_t AudioPlaybackDevice::lengthMs() const
{
    return m_playback ? framesToMs(m_playback->lengthFrames()) : 0;
}

std::int64_t AudioPlaybackDevice::positionMs() const
{
    return m_playback ? framesToMs(m_playback->positionFrames()) : 0;
}

// Milliseconds rounded to the nearest, halves up: the same rounding as the length, so the
// position at the end equals the length.
std::int64_t AudioPlaybackDevice::framesToMs(std::int64_t frames) const
{
    return m_rate > 0 ? (frames * 1000 + m_rate / 2) / m_rate : 0;
}

} // namespace zyr::media
