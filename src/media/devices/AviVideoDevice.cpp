#include "media/devices/AviVideoDevice.h"

#include "media/devices/FfmpegAudioDecoder.h"
#include "media/devices/FfmpegAudioSource.h"
#include "media/devices/FfmpegVideoDecoder.h"
#include "media/devices/FittedAudioSource.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <utility>

namespace zyr::media {

AviVideoDevice::AviVideoDevice(AudioSinkFactory sinks, VideoOutputFactory outputs, QObject *parent)
    : MediaDevice(parent), m_sinks(std::move(sinks)), m_outputs(std::move(outputs))
{
    m_presentTimer.setSingleShot(true);
    m_presentTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_presentTimer, &QTimer::timeout, this, &AviVideoDevice::present);
}

AviVideoDevice::~AviVideoDevice()
{
    m_presentTimer.stop();
    m_pump.reset();
    m_clock.reset();
}

Result<void> AviVideoDevice::open(const QString &fileName)
{
    // Headers only: the codec opens and the first picture decodes on the video worker.
    Result<std::unique_ptr<FfmpegVideoDecoder>> video = FfmpegVideoDecoder::openHeaders(fileName);
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
        Result<std::unique_ptr<FfmpegAudioDecoder>> audio =
            FfmpegAudioDecoder::open(fileName, FfmpegAudioDecoder::StreamFacts::FromAviHeaders);
        if (audio.ok())
            sound = std::make_unique<FfmpegAudioSource>(std::move(audio).value());
    }
    m_clockRate =
        sound ? sound->sourceFormat().sampleRate : FittedAudioSource::kSilenceFormat.sampleRate;
    const std::int64_t lengthFrames = (m_lengthMs * m_clockRate + 500) / 1000;
    std::unique_ptr<AudioSink> sink = m_sinks ? m_sinks() : nullptr;
    if (!sink)
        return makeError(ErrorKind::DeviceUnavailable, QStringLiteral("No audio output."));

    m_title = QFileInfo(fileName).fileName();
    m_output = m_outputs ? m_outputs() : nullptr;
    if (m_output) {
        m_output->setCloseHandler([this] {
            if (m_clock && m_clock->isPlaying()) {
                m_clock->pause();
                emit pausedFromOutside();
            }
        });
    }
    m_shownFrame = 0;
    // The window is made ready now, at the size the headers give, so that the first picture
    // only has it shown; the picture may still tell another size (its pixels' aspect).
    m_preparedSize = decoder.displaySize();
    if (m_output)
        m_output->prepare(m_title, m_preparedSize);

    m_clock = std::make_unique<AudioPlayback>(
        std::make_unique<FittedAudioSource>(std::move(sound), lengthFrames), std::move(sink));
    connect(m_clock.get(), &AudioPlayback::finished, this, &MediaDevice::playbackFinished);
    connect(m_clock.get(), &AudioPlayback::failed, this, &MediaDevice::playbackFailed);
    // The end of the sound leaves the last pictures due.
    connect(m_clock.get(), &AudioPlayback::finished, this, &AviVideoDevice::present);

    VideoFramePump::Events events;
    events.primed = [this](const Result<QSize> &displaySize) {
        QMetaObject::invokeMethod(
            this, [this, displaySize] { onPrimed(displaySize); }, Qt::QueuedConnection);
    };
    events.pictureQueued = [this] {
        QMetaObject::invokeMethod(this, &AviVideoDevice::present, Qt::QueuedConnection);
    };
    m_pump = std::make_unique<VideoFramePump>(std::move(video).value(), std::move(events));
    return {};
}

void AviVideoDevice::onPrimed(const Result<QSize> &displaySize)
{
    if (!displaySize) {
        failPictures(displaySize.error());
        return;
    }
    m_primed = true;
    if (std::exchange(m_playWhenPrimed, false))
        m_clock->play();
    if (!m_output)
        return;
    if (displaySize.value() != m_preparedSize) {
        m_preparedSize = displaySize.value();
        m_output->prepare(m_title, m_preparedSize);
    }
    m_output->setShown(true);
    present();
}

void AviVideoDevice::failPictures(const MediaError &error)
{
    m_pictureError = error;
    m_awaitingPicture = false;
    if (std::exchange(m_playWhenPrimed, false) || m_clock->isPlaying() || m_clock->isPaused()) {
        m_clock->stop();
        emit playbackFailed(error);
    }
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

void AviVideoDevice::present()
{
    m_presentTimer.stop();
    m_awaitingPicture = false;
    // Without an output nothing is shown, and the worker rests with its queue full.
    if (!m_pump || !m_output)
        return;
    const bool running = m_clock->isPlaying();
    if (!m_primed) {
        // The first picture is on its way; onPrimed() looks again.
        m_awaitingPicture = (running || m_playWhenPrimed || m_seekPending) && !m_pictureError;
        return;
    }
    const std::int64_t clock = m_presentationClock.now(positionMs(), running);
    m_pump->setClock(clock);
    m_pump->setPictureSize(m_output->pictureSize());
    std::optional<VideoPicture> picture = m_pump->takeDue(clock, kOnTimeMs);
    if (picture) {
        m_shownFrame = picture->index;
        ++m_picturesShown;
        m_seekPending = false;
        m_output->present(std::move(*picture));
    }
    // When to look again: at the next picture's time while the clock runs; when the worker
    // queues one while none is queued (it says so); otherwise at the next play, seek or step.
    const std::optional<std::int64_t> next = m_pump->nextPictureMs();
    if (!next) {
        m_awaitingPicture = (running || m_seekPending) && !m_pump->atEnd();
        return;
    }
    if (running) {
        std::int64_t wait = std::max<std::int64_t>(0, *next - kOnTimeMs - clock);
        if (!picture)
            wait = std::max<std::int64_t>(wait, kRecheckMs);
        m_presentTimer.start(int(std::min<std::int64_t>(wait, m_lengthMs + 1000)));
    } else if (*next <= clock + kOnTimeMs) {
        m_presentTimer.start(0); // standing still, and more is due (the end of the movie)
    }
}

Result<void> AviVideoDevice::play()
{
    if (m_pictureError) {
        // Reported once the control has started the play, so that it ends with Done.
        QMetaObject::invokeMethod(
            this, [this, error = *m_pictureError] { emit playbackFailed(error); },
            Qt::QueuedConnection);
        return {};
    }
    if (!m_primed) {
        // The sound waits for the first pictures, so that they are not late from the start.
        m_playWhenPrimed = true;
        m_awaitingPicture = true;
        return {};
    }
    if (m_output)
        m_output->setShown(true);
    m_clock->play();
    present();
    return {};
}

Result<void> AviVideoDevice::pause()
{
    m_playWhenPrimed = false;
    m_clock->pause();
    return {};
}

Result<void> AviVideoDevice::stop()
{
    m_playWhenPrimed = false;
    m_clock->stop();
    return {};
}

Result<void> AviVideoDevice::seek(std::int64_t positionMs)
{
    const std::int64_t ms = std::clamp<std::int64_t>(positionMs, 0, m_lengthMs);
    m_clock->seekToFrame(ms * m_clockRate / 1000);
    m_pump->seekToMs(ms);
    m_seekPending = true;
    present();
    m_shownFrame = std::min<std::int64_t>(std::max<std::int64_t>(0, m_frameCount - 1),
                                          std::int64_t(double(ms) * m_frameRate / 1000.0));
    return {};
}

Result<void> AviVideoDevice::step(int frames)
{
    const std::int64_t last = std::max<std::int64_t>(0, m_frameCount - 1);
    const std::int64_t target = std::clamp<std::int64_t>(m_shownFrame + frames, 0, last);
    if (std::exchange(m_playWhenPrimed, false) || m_clock->isPlaying()) {
        m_clock->pause();
        emit pausedFromOutside();
    }
    const std::int64_t ms = frameToMs(target);
    m_clock->seekToFrame(ms * m_clockRate / 1000);
    m_pump->seekToFrame(target);
    m_seekPending = true;
    present();
    m_shownFrame = target; // the next step counts from here, shown yet or not
    return {};
}

} // namespace zyr::media
