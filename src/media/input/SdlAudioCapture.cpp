#include "media/input/SdlAudioCapture.h"

#include <algorithm>
#include <thread>

namespace zyr::media {

namespace {

// Looks for captured frames a few times per period: a wake-up from the callback would put a
// lock or a system call on SDL's audio thread.
constexpr int kPollsPerPeriod = 4;

} // namespace

SdlAudioCapture::~SdlAudioCapture()
{
    close();
}

Result<void> SdlAudioCapture::open(AudioFormat format)
{
    close();
    if (!format.isValid())
        return makeError(ErrorKind::UnsupportedFormat,
                         QStringLiteral("Cannot record audio at %1 Hz with %2 channels")
                             .arg(format.sampleRate)
                             .arg(format.channels));
    auto subsystem = SdlAudioSubsystem::acquire();
    if (!subsystem)
        return subsystem.error();
    // The device starts paused, so its callback cannot see the ring while it is allocated.
    auto device = SdlAudioDevice::openCapture(format, kPeriodFrames, &takePeriod, this);
    if (!device)
        return device.error();
    const auto capacity = std::max(static_cast<std::size_t>(format.framesIn(kBufferDuration)),
                                   2 * static_cast<std::size_t>(kPeriodFrames));
    if (auto allocated = m_ring.allocate(capacity, format.channels); !allocated)
        return allocated.error();
    m_dropped.store(0, std::memory_order_release);
    m_pollInterval = std::max(std::chrono::microseconds{1},
                              std::chrono::duration_cast<std::chrono::microseconds>(
                                  format.durationOf(device.value().periodFrames())) /
                                  kPollsPerPeriod);
    const std::lock_guard guard(m_lifecycleMutex);
    m_subsystem.emplace(std::move(subsystem).value());
    m_device.emplace(std::move(device).value());
    return {};
}

void SdlAudioCapture::setPaused(bool paused)
{
    const std::lock_guard guard(m_lifecycleMutex);
    if (m_device)
        m_device->setPaused(paused);
}

std::size_t SdlAudioCapture::read(float *dst, std::size_t maxFrames)
{
    return m_device ? m_ring.read(dst, maxFrames) : 0;
}

bool SdlAudioCapture::waitForFrames(std::chrono::milliseconds timeout)
{
    if (!m_device)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (m_ring.readableFrames() > 0)
            return true;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return false;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(m_pollInterval, deadline - now));
    }
}

std::int64_t SdlAudioCapture::framesDropped() const
{
    return m_dropped.load(std::memory_order_acquire);
}

bool SdlAudioCapture::lost() const
{
    const std::lock_guard guard(m_lifecycleMutex);
    return m_device && m_device->disconnected();
}

void SdlAudioCapture::close()
{
    {
        const std::lock_guard guard(m_lifecycleMutex);
        // Joins SDL's audio thread before the ring and the subsystem go.
        m_device.reset();
        m_subsystem.reset();
    }
    m_ring.release();
}

void SdlAudioCapture::takePeriod(void *userdata, std::uint8_t *stream, int length)
{
    auto *capture = static_cast<SdlAudioCapture *>(userdata);
    const auto channels = static_cast<std::size_t>(capture->m_ring.channels());
    const std::size_t frames = static_cast<std::size_t>(length) / sizeof(float) / channels;
    const std::size_t taken =
        capture->m_ring.write(reinterpret_cast<const float *>(stream), frames);
    if (taken < frames) {
        // Only this thread writes the count while the device is open.
        capture->m_dropped.store(capture->m_dropped.load(std::memory_order_relaxed) +
                                     static_cast<std::int64_t>(frames - taken),
                                 std::memory_order_release);
    }
}

} // namespace zyr::media
