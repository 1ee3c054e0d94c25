#include "media/input/TestAudioCapture.h"

#include <algorithm>

namespace zyr::media {

TestAudioCapture::TestAudioCapture(Options options) : m_options(std::move(options)) {}

TestAudioCapture::~TestAudioCapture()
{
    close();
}

float TestAudioCapture::sample(std::int64_t frame, int channel)
{
    return static_cast<float>((frame * 7 + std::int64_t{channel} * 301) % 2001 - 1000) / 32768.0f;
}

Result<void> TestAudioCapture::open(AudioFormat format)
{
    const std::lock_guard lock(m_mutex);
    if (m_options.failToOpen || !format.isValid())
        return makeError(ErrorKind::DeviceUnavailable,
                         QStringLiteral("The test input refuses to open."));
    m_format = format;
    m_open = true;
    m_paused = true;
    m_dueBeforeRun = 0.0;
    publishHeldAt();
    return {};
}

void TestAudioCapture::setPaused(bool paused)
{
    {
        const std::lock_guard lock(m_mutex);
        if (!m_open || paused == m_paused)
            return;
        if (paused) {
            // What was due stays due; what arrives while held is not captured.
            m_dueBeforeRun = static_cast<double>(readyFrames() + m_delivered);
        } else {
            m_runStart = std::chrono::steady_clock::now();
        }
        m_paused = paused;
        publishHeldAt();
    }
    m_changed.notify_all();
}

std::int64_t TestAudioCapture::readyFrames() const
{
    if (!m_open)
        return 0;
    double due = m_dueBeforeRun;
    if (!m_paused) {
        const std::chrono::duration<double> running = std::chrono::steady_clock::now() - m_runStart;
        due += running.count() * m_format.sampleRate * m_options.speed;
    }
    std::int64_t ready = static_cast<std::int64_t>(due) - m_delivered;
    if (m_options.limitFrames >= 0)
        ready = std::min(ready, m_options.limitFrames - m_delivered);
    return std::max<std::int64_t>(0, ready);
}

void TestAudioCapture::publishHeldAt() const
{
    if (m_options.counts)
        m_options.counts->heldAt.store(m_paused ? m_delivered + readyFrames() : -1);
}

std::size_t TestAudioCapture::read(float *dst, std::size_t maxFrames)
{
    const std::lock_guard lock(m_mutex);
    const auto count = static_cast<std::size_t>(
        std::min<std::int64_t>(readyFrames(), static_cast<std::int64_t>(maxFrames)));
    for (std::size_t i = 0; i < count; ++i)
        for (int c = 0; c < m_format.channels; ++c)
            *dst++ = sample(m_delivered + static_cast<std::int64_t>(i), c);
    m_delivered += static_cast<std::int64_t>(count);
    if (m_options.counts)
        m_options.counts->delivered.store(m_delivered);
    return count;
}

bool TestAudioCapture::waitForFrames(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    if (!m_open)
        return false;
    if (readyFrames() > 0)
        return true;
    m_changed.wait_for(lock, timeout, [this] { return !m_open; });
    return readyFrames() > 0;
}

bool TestAudioCapture::lost() const
{
    const std::lock_guard lock(m_mutex);
    return m_lost;
}

void TestAudioCapture::setLost(bool lost)
{
    const std::lock_guard lock(m_mutex);
    m_lost = lost;
}

void TestAudioCapture::close()
{
    {
        const std::lock_guard lock(m_mutex);
        m_open = false;
    }
    m_changed.notify_all();
}

AudioCaptureFactory testAudioCaptureFactory(const TestAudioCapture::Options &options,
                                            bool available)
{
    return {
        [available] { return available; },
        [options] { return std::make_unique<TestAudioCapture>(options); },
    };
}

} // namespace zyr::media
