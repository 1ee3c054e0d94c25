#include "media/output/FallbackAudioSink.h"

#include <QStringList>

#include <utility>

namespace zyr::media {

FallbackAudioSink::FallbackAudioSink(std::vector<AudioSinkFactory> candidates,
                                     std::chrono::milliseconds retryInterval, MonotonicClock clock)
    : m_candidates(std::move(candidates)), m_retryInterval(retryInterval), m_clock(std::move(clock))
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
            m_format = opened.value();
            m_paused = false;
            m_playedBefore = 0;
            m_lastRetry = m_clock();
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
    retryBetterOutput();
    return m_active ? m_active->write(frames, frameCount) : 0;
}

void FallbackAudioSink::retryBetterOutput()
{
    if (!m_active)
        return;
    const bool lost = m_active->lost();
    if (!lost && m_activeIndex == 0)
        return;
    const auto now = m_clock();
    if (now - m_lastRetry < m_retryInterval)
        return;
    m_lastRetry = now;
    // Earlier candidates, and the active one's kind again when it is lost.
    const int last = lost ? m_activeIndex : m_activeIndex - 1;
    for (int i = 0; i <= last; ++i) {
        const AudioSinkFactory &make = m_candidates[static_cast<std::size_t>(i)];
        std::unique_ptr<AudioSink> sink = make ? make() : nullptr;
        if (!sink)
            continue;
        const Result<AudioFormat> opened = sink->open(m_format);
        // The device converts to the format it opened with; an output that wants another
        // cannot take over in mid-sound.
        if (!opened.ok() || opened.value() != m_format || sink->lost())
            continue;
        std::unique_ptr<AudioSink> replaced;
        {
            const std::lock_guard guard(m_activeMutex);
            if (m_paused)
                sink->setPaused(true);
            m_playedBefore += m_active->framesPlayed();
            replaced = std::exchange(m_active, std::move(sink));
            m_activeIndex = i;
        }
        replaced->close();
        return;
    }
}

void FallbackAudioSink::setPaused(bool paused)
{
    const std::lock_guard guard(m_activeMutex);
    m_paused = paused;
    if (m_active) {
        m_active->setPaused(paused);
    }
}

void FallbackAudioSink::flush()
{
    if (m_active) {
        m_active->flush();
    }
    const std::lock_guard guard(m_activeMutex);
    m_playedBefore = 0;
}

std::int64_t FallbackAudioSink::framesPlayed() const
{
    const std::lock_guard guard(m_activeMutex);
    return m_active ? m_playedBefore + m_active->framesPlayed() : 0;
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
