#include "media/output/TestAudioSink.h"

#include <algorithm>
#include <utility>

namespace zyr::media {

TestAudioSink::TestAudioSink(Options options) : m_options(std::move(options)) {}

TestAudioSink::~TestAudioSink()
{
    close();
}

Result<AudioFormat> TestAudioSink::open(AudioFormat requested)
{
    const std::lock_guard guard(m_mutex);
    ++m_openCount;
    m_requested = requested;
    m_open = false;
    m_paused = false;
    m_pending.clear();
    m_received.clear();
    m_played = 0;
    if (m_options.failToOpen) {
        return makeError(ErrorKind::DeviceUnavailable,
                         QStringLiteral("The test output was told to fail"));
    }
    if (!requested.isValid()) {
        return makeError(ErrorKind::UnsupportedFormat,
                         QStringLiteral("Cannot play audio at %1 Hz with %2 channels")
                             .arg(requested.sampleRate)
                             .arg(requested.channels));
    }
    if (m_options.forcedFormat && !m_options.forcedFormat->isValid()) {
        return makeError(ErrorKind::Internal, QStringLiteral("The forced test format is invalid"));
    }
    m_format = m_options.forcedFormat.value_or(requested);
    m_capacity =
        static_cast<std::size_t>(std::max<std::int64_t>(1, m_format.framesIn(kSinkBufferDuration)));
    m_open = true;
    return m_format;
}

std::size_t TestAudioSink::write(const float *frames, std::size_t frameCount)
{
    const std::lock_guard guard(m_mutex);
    if (!m_open || frames == nullptr) {
        return 0;
    }
    std::size_t accepted = frameCount;
    if (m_options.maxFramesPerWrite > 0) {
        accepted = std::min(accepted, m_options.maxFramesPerWrite);
    }
    const auto channels = static_cast<std::size_t>(m_format.channels);
    if (m_paused) {
        accepted = std::min(accepted, m_capacity - m_pending.size() / channels);
        m_pending.insert(m_pending.end(), frames, frames + accepted * channels);
    } else {
        m_received.insert(m_received.end(), frames, frames + accepted * channels);
        m_played += static_cast<std::int64_t>(accepted);
    }
    return accepted;
}

void TestAudioSink::setPaused(bool paused)
{
    const std::lock_guard guard(m_mutex);
    if (!m_open) {
        return;
    }
    m_paused = paused;
    if (!paused) {
        playPendingLocked();
    }
}

void TestAudioSink::flush()
{
    const std::lock_guard guard(m_mutex);
    ++m_flushCount;
    m_pending.clear();
    m_played = 0;
}

std::int64_t TestAudioSink::framesPlayed() const
{
    const std::lock_guard guard(m_mutex);
    return m_played;
}

std::int64_t TestAudioSink::framesQueued() const
{
    const std::lock_guard guard(m_mutex);
    if (!m_open) {
        return 0;
    }
    return static_cast<std::int64_t>(m_pending.size() /
                                     static_cast<std::size_t>(m_format.channels));
}

void TestAudioSink::close()
{
    const std::lock_guard guard(m_mutex);
    m_open = false;
    m_paused = false;
    m_pending.clear();
    m_played = 0;
}

bool TestAudioSink::lost() const
{
    const std::lock_guard guard(m_mutex);
    return m_lost;
}

void TestAudioSink::setLost(bool lost)
{
    const std::lock_guard guard(m_mutex);
    m_lost = lost;
}

std::vector<float> TestAudioSink::received() const
{
    const std::lock_guard guard(m_mutex);
    return m_received;
}

AudioFormat TestAudioSink::format() const
{
    const std::lock_guard guard(m_mutex);
    return m_format;
}

AudioFormat TestAudioSink::requestedFormat() const
{
    const std::lock_guard guard(m_mutex);
    return m_requested;
}

bool TestAudioSink::isOpen() const
{
    const std::lock_guard guard(m_mutex);
    return m_open;
}

bool TestAudioSink::isPaused() const
{
    const std::lock_guard guard(m_mutex);
    return m_paused;
}

int TestAudioSink::openCount() const
{
    const std::lock_guard guard(m_mutex);
    return m_openCount;
}

int TestAudioSink::flushCount() const
{
    const std::lock_guard guard(m_mutex);
    return m_flushCount;
}

void TestAudioSink::playPendingLocked()
{
    const auto channels = static_cast<std::size_t>(m_format.channels);
    m_received.insert(m_received.end(), m_pending.begin(), m_pending.end());
    m_played += static_cast<std::int64_t>(m_pending.size() / channels);
    m_pending.clear();
}

} // namespace zyr::media
