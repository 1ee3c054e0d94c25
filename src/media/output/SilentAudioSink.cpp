#include "media/output/SilentAudioSink.h"

#include <algorithm>

namespace zyr::media {

SilentAudioSink::~SilentAudioSink()
{
    close();
}

Result<AudioFormat> SilentAudioSink::open(AudioFormat requested)
{
    if (!requested.isValid()) {
        return makeError(ErrorKind::UnsupportedFormat,
                         QStringLiteral("Cannot play audio at %1 Hz with %2 channels")
                             .arg(requested.sampleRate)
                             .arg(requested.channels));
    }
    const std::lock_guard guard(m_mutex);
    m_format = requested;
    m_open = true;
    m_paused = false;
    m_capacity = std::max<std::int64_t>(1, requested.framesIn(kSinkBufferDuration));
    m_queued = 0;
    m_played = 0;
    restartAnchorLocked(Clock::now());
    return requested;
}

std::size_t SilentAudioSink::write(const float *frames, std::size_t frameCount)
{
    if (frames == nullptr) {
        return 0;
    }
    const std::lock_guard guard(m_mutex);
    if (!m_open) {
        return 0;
    }
    settleLocked(Clock::now());
    const auto accepted = static_cast<std::int64_t>(
        std::min<std::uint64_t>(frameCount, static_cast<std::uint64_t>(m_capacity - m_queued)));
    m_queued += accepted;
    return static_cast<std::size_t>(accepted);
}

void SilentAudioSink::setPaused(bool paused)
{
    const std::lock_guard guard(m_mutex);
    if (!m_open || paused == m_paused) {
        return;
    }
    const auto now = Clock::now();
    settleLocked(now);
    m_paused = paused;
    restartAnchorLocked(now);
}

void SilentAudioSink::flush()
{
    const std::lock_guard guard(m_mutex);
    if (!m_open) {
        return;
    }
    m_queued = 0;
    m_played = 0;
    restartAnchorLocked(Clock::now());
}

std::int64_t SilentAudioSink::framesPlayed() const
{
    const std::lock_guard guard(m_mutex);
    settleLocked(Clock::now());
    return m_played;
}

std::int64_t SilentAudioSink::framesQueued() const
{
    const std::lock_guard guard(m_mutex);
    settleLocked(Clock::now());
    return m_queued;
}

void SilentAudioSink::close()
{
    const std::lock_guard guard(m_mutex);
    m_open = false;
    m_paused = false;
    m_capacity = 0;
    m_queued = 0;
    m_played = 0;
    m_credited = 0;
}

bool SilentAudioSink::lost() const
{
    return false;
}

void SilentAudioSink::settleLocked(Clock::time_point now) const
{
    if (!m_open || m_paused) {
        return;
    }
    const std::int64_t due = m_format.framesIn(now - m_anchor) - m_credited;
    const std::int64_t taken = std::clamp<std::int64_t>(due, 0, m_queued);
    m_queued -= taken;
    m_played += taken;
    m_credited += taken;
    if (m_queued == 0) {
        restartAnchorLocked(now);
    }
}

void SilentAudioSink::restartAnchorLocked(Clock::time_point now) const
{
    m_anchor = now;
    m_credited = 0;
}

} // namespace zyr::media
