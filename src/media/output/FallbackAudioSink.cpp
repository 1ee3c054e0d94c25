#include "media/output/FallbackAudioSink.h"

#include <QStringList>

#include <utility>

namespace zyr::media {

FallbackAudioSink::FallbackAudioSink(std::vector<AudioSinkFactory> candidates)
    : m_candidates(std::move(candidates))
{
}

FallbackAudioSink::~FallbackAudioSink()
{
    close();
}

Result<AudioFormat> FallbackAudioSink::open(AudioFormat requested)
{
    close();
    if (!requested.isValid()) {
        return makeError(ErrorKind::UnsupportedFormat,
                         QStringLiteral("Cannot play audio at %1 Hz with %2 channels")
                             .arg(requested.sampleRate)
                             .arg(requested.channels));
    }
    QStringList failures;
    MediaError lastError =
        makeError(ErrorKind::DeviceUnavailable, QStringLiteral("No audio output is configured"));
    for (std::size_t i = 0; i < m_candidates.size(); ++i) {
        std::unique_ptr<AudioSink> sink = m_candidates[i] ? m_candidates[i]() : nullptr;
        if (!sink) {
            continue;
        }
        auto opened = sink->open(requested);
        if (opened) {
            const std::lock_guard guard(m_activeMutex);
            m_active = std::move(sink);
            m_activeIndex = static_cast<int>(i);
            return opened;
        }
        failures << opened.error().message;
        lastError = opened.error();
    }
    if (!failures.isEmpty()) {
        lastError.message = failures.join(QStringLiteral("; "));
    }
    return lastError;
}

std::size_t FallbackAudioSink::write(const float *frames, std::size_t frameCount)
{
    return m_active ? m_active->write(frames, frameCount) : 0;
}

bool FallbackAudioSink::waitForSpace(std::chrono::milliseconds timeout)
{
    return m_active ? m_active->waitForSpace(timeout) : false;
}

void FallbackAudioSink::setPaused(bool paused)
{
    const std::lock_guard guard(m_activeMutex);
    if (m_active) {
        m_active->setPaused(paused);
    }
}

void FallbackAudioSink::flush()
{
    if (m_active) {
        m_active->flush();
    }
}

std::int64_t FallbackAudioSink::framesPlayed() const
{
    const std::lock_guard guard(m_activeMutex);
    return m_active ? m_active->framesPlayed() : 0;
}

std::int64_t FallbackAudioSink::framesQueued() const
{
    const std::lock_guard guard(m_activeMutex);
    return m_active ? m_active->framesQueued() : 0;
}

void FallbackAudioSink::close()
{
    std::unique_ptr<AudioSink> closing;
    {
        const std::lock_guard guard(m_activeMutex);
        closing = std::move(m_active);
        m_activeIndex = -1;
    }
    // Outside the lock: closing may wait for a playback thread.
    if (closing) {
        closing->close();
    }
}

bool FallbackAudioSink::lost() const
{
    const std::lock_guard guard(m_activeMutex);
    return m_active && m_active->lost();
}

int FallbackAudioSink::activeIndex() const
{
    const std::lock_guard guard(m_activeMutex);
    return m_activeIndex;
}

} // namespace zyr::media
