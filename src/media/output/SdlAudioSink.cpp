#include "media/output/SdlAudioSink.h"

#include <algorithm>

namespace zyr::media {

SdlAudioSink::~SdlAudioSink()
{
    close();
}

int SdlAudioSink::periodFramesFor(int sampleRate)
{
    const AudioFormat probe{sampleRate, 1};
    const std::int64_t target = probe.framesIn(kTargetPeriod);
    int period = kMinPeriodFrames;
    while (period < kMaxPeriodFrames && target > period + period / 2) {
        period *= 2;
    }
    return period;
}

Result<AudioFormat> SdlAudioSink::open(AudioFormat requested)
{
    close();
    if (!requested.isValid()) {
        return makeError(ErrorKind::UnsupportedFormat,
                         QStringLiteral("Cannot play audio at %1 Hz with %2 channels")
                             .arg(requested.sampleRate)
                             .arg(requested.channels));
    }
    auto subsystem = SdlAudioSubsystem::acquire();
    if (!subsystem) {
        return subsystem.error();
    }
    auto device =
        SdlAudioDevice::open(requested, periodFramesFor(requested.sampleRate), &fillPeriod, this);
    if (!device) {
        return device.error();
    }
    const AudioFormat actual = device.value().format();
    const auto period = static_cast<std::size_t>(device.value().periodFrames());
    // At least two periods, so the worker can fill one while the callback drains the other.
    const std::size_t capacity =
        std::max(static_cast<std::size_t>(actual.framesIn(kSinkBufferDuration)), 2 * period);
    // The device is still paused, so its callback cannot see the ring while it is allocated.
    if (auto allocated = m_ring.allocate(capacity, actual.channels); !allocated) {
        return allocated.error();
    }
    m_played.store(0, std::memory_order_release);
    {
        const std::lock_guard guard(m_lifecycleMutex);
        m_subsystem.emplace(std::move(subsystem).value());
        m_device.emplace(std::move(device).value());
        m_device->setPaused(false);
    }
    return actual;
}

std::size_t SdlAudioSink::write(const float *frames, std::size_t frameCount)
{
    if (frames == nullptr) {
        return 0;
    }
    return m_ring.write(frames, frameCount);
}

void SdlAudioSink::setPaused(bool paused)
{
    const std::lock_guard guard(m_lifecycleMutex);
    if (m_device) {
        m_device->setPaused(paused);
    }
}

void SdlAudioSink::flush()
{
    if (!m_device) {
        return;
    }
    m_device->whileCallbackStopped([this] {
        m_ring.discard();
        m_played.store(0, std::memory_order_release);
    });
}

std::int64_t SdlAudioSink::framesPlayed() const
{
    return m_played.load(std::memory_order_acquire);
}

std::int64_t SdlAudioSink::framesQueued() const
{
    return static_cast<std::int64_t>(m_ring.readableFrames());
}

void SdlAudioSink::close()
{
    {
        const std::lock_guard guard(m_lifecycleMutex);
        // Joins SDL's audio thread before the ring and the subsystem go.
        m_device.reset();
        m_subsystem.reset();
    }
    m_ring.release();
    m_played.store(0, std::memory_order_release);
}

bool SdlAudioSink::lost() const
{
    const std::lock_guard guard(m_lifecycleMutex);
    return m_device && m_device->disconnected();
}

int SdlAudioSink::periodFrames() const
{
    return m_device ? m_device->periodFrames() : 0;
}

void SdlAudioSink::fillPeriod(void *userdata, std::uint8_t *stream, int length)
{
    auto *sink = static_cast<SdlAudioSink *>(userdata);
    auto *out = reinterpret_cast<float *>(stream);
    const auto channels = static_cast<std::size_t>(sink->m_ring.channels());
    const std::size_t wanted = static_cast<std::size_t>(length) / sizeof(float) / channels;
    const std::size_t copied = sink->m_ring.read(out, wanted);
    std::fill(out + copied * channels, out + static_cast<std::size_t>(length) / sizeof(float),
              0.0f);
    // Only this thread and flush (which holds this thread off) write the count, so a plain
    // load-add-store keeps it exact without a read-modify-write.
    sink->m_played.store(sink->m_played.load(std::memory_order_relaxed) +
                             static_cast<std::int64_t>(copied),
                         std::memory_order_release);
}

} // namespace zyr::media
