#include "media/devices/AviVideoDevice.h"

#include "media/devices/FfmpegAudioDecoder.h"
#include "media/devices/FfmpegAudioSource.h"
#include "media/devices/FfmpegVideoDecoder.h"
#include "media/devices/FittedAudioSource.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace zyr::media {

AviVideoDevice::AviVideoDevice(AudioSinkFactory sinks, VideoOutputFactory outputs, QObject *parent)
    : MediaDevice(parent), m_sinks(std::move(sinks)), m_outputs(std::move(outputs))
{
    m_presentTimer.setInterval(kPresentTickMs);
    m_presentTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_presentTimer, &QTimer::timeout, this, &AviVideoDevice::presentDue);
}

AviVideoDevice::~AviVideoDevice()
{
    m_presentTimer.stop();
    m_pump.reset();
    m_clock.reset();
}

Result<void> AviVideoDevice::open(const QString &fileName)
{
    Result<std::unique_ptr<FfmpegVideoDecoder>> video = FfmpegVideoDecoder::open(fileName);
    if (!video.ok())
        return video.error();
    FfmpegVideoDecoder &decoder = *video.value();
    if (decoder.lengthMs() == FfmpegVideoDecoder::kUnknownLength)
        return makeError(ErrorKind::UnsupportedFormat,
                         QStringLiteral("The length of the movie cannot be told."));
    m_lengthMs = decoder.lengthMs();
    m_frameRate = decoder.frameRate();
    m_frameCount = decoder.frameCount();

    // The movie's sound where it has one that decodes; silence of its length otherwise.
    std::unique_ptr<AudioSource> sound;
    if (decoder.hasAudio()) {
        Result<std::unique_ptr<FfmpegAudioDecoder>> audio = FfmpegAudioDecoder::open(fileName);
        if (audio.ok())
            sound = std::make_unique<FfmpegAudioSource>(std::move(audio).value());
    }
    m_clockRate =
        sound ? sound->sourceFormat().sampleRate : FittedAudioSource::kSilenceFormat.sampleRate;
    const std::int64_t lengthFrames = (m_lengthMs * m_clockRate + 500) / 1000;
    std::unique_ptr<AudioSink> sink = m_sinks ? m_sinks() : nullptr;
    if (!sink)
        return makeError(ErrorKind::DeviceUnavailable, QStringLiteral("No audio output."));

    // The first picture shows as soon as the movie is open.
    Result<std::optional<VideoFrame>> first = decoder.next();
    m_output = m_outputs ? m_outputs() : nullptr;
    if (m_output) {
        m_output->prepare(QFileInfo(fileName).fileName(), decoder.displaySize());
        if (first.ok() && first.value())
            m_output->present(first.value()->image);
        m_output->setCloseHandler([this] {
            if (m_clock && m_clock->isPlaying()) {
                m_clock->pause();
                emit pausedFromOutside();
            }
        });
        m_output->setShown(true);
    }
    m_shownFrame = 0;

    m_clock = std::make_unique<AudioPlayback>(
        std::make_unique<FittedAudioSource>(std::move(sound), lengthFrames), std::move(sink));
    connect(m_clock.get(), &AudioPlayback::finished, this, &MediaDevice::playbackFinished);
    connect(m_clock.get(), &AudioPlayback::failed, this, &MediaDevice::playbackFailed);
    m_pump = std::make_unique<VideoFramePump>(std::move(video).value());
    return {};
}

std::int64_t AviVideoDevice::frameToMs(std::int64_t index) const
{
    return m_frameRate > 0 ? std::llround(double(index) * 1000.0 / m_frameRate) : 0;
}

std::int64_t AviVideoDevice::positionMs() const
{
    if (!m_clock)
        return 0;
    const std::int64_t frames = m_clock->positionFrames();
    if (frames >= m_clock->lengthFrames())
        return m_lengthMs;
    return std::min(m_lengthMs,
                    (frames * 1000 + m_clockRate / 2) / std::max<std::int64_t>(1, m_clockRate));
}

void AviVideoDevice::presentDue()
{
    if (!m_pump || !m_output)
        return;
    const std::int64_t clock = positionMs();
    m_pump->setClock(clock);
    // Half a picture early is on time: the clock moves in sound periods, not pictures.
    const auto halfFrame = std::int64_t(500.0 / std::max(1.0, m_frameRate));
    const std::optional<VideoFrame> frame = m_pump->takeDue(clock, halfFrame);
    if (frame) {
        m_output->present(frame->image);
        m_shownFrame = frame->index;
        m_idleTicks = 0;
    }
    // Standing still (paused, stopped, ended), the timer shows what a seek, step or the end
    // still brings, and stops once no picture has come for a while, until the next play, seek
    // or step.
    else if (!m_clock->isPlaying() && ++m_idleTicks > kIdleTicks)
        m_presentTimer.stop();
}

void AviVideoDevice::wakePresenter()
{
    m_idleTicks = 0;
    m_presentTimer.start();
}

Result<void> AviVideoDevice::play()
{
    if (m_output)
        m_output->setShown(true);
    m_clock->play();
    wakePresenter();
    return {};
}

Result<void> AviVideoDevice::pause()
{
    m_clock->pause();
    return {};
}

Result<void> AviVideoDevice::stop()
{
    m_clock->stop();
    return {};
}

Result<void> AviVideoDevice::seek(std::int64_t positionMs)
{
    const std::int64_t ms = std::clamp<std::int64_t>(positionMs, 0, m_lengthMs);
    m_clock->seekToFrame(ms * m_clockRate / 1000);
    m_pump->seekToMs(ms);
    wakePresenter();
    m_shownFrame = std::min<std::int64_t>(std::max<std::int64_t>(0, m_frameCount - 1),
                                          std::int64_t(double(ms) * m_frameRate / 1000.0));
    return {};
}

Result<void> AviVideoDevice::step(int frames)
{
    const std::int64_t last = std::max<std::int64_t>(0, m_frameCount - 1);
    const std::int64_t target = std::clamp<std::int64_t>(m_shownFrame + frames, 0, last);
    if (m_clock->isPlaying()) {
        m_clock->pause();
        emit pausedFromOutside();
    }
    const std::int64_t ms = frameToMs(target);
    m_clock->seekToFrame(ms * m_clockRate / 1000);
    m_pump->seekToFrame(target);
    wakePresenter();
    m_shownFrame = target; // the next step counts from here, shown yet or not
    return {};
}

} // namespace zyr::media
