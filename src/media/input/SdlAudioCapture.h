#pragma once
// Sound from SDL2's default input device. SDL's audio thread runs the callback, which only
// copies the captured period into a lock-free ring buffer (counting what finds no room); the
// recorder's worker reads from the ring. SDL converts from the hardware's format to the one the
// recording asked for. No lock, allocation, Qt call or logging happens on SDL's thread.

#include "media/input/AudioCapture.h"
#include "media/output/RingBuffer.h"
#include "media/output/SdlAudioDevice.h"
#include "media/output/SdlAudioSubsystem.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>

namespace zyr::media {

class SdlAudioCapture final : public AudioCapture {
public:
    SdlAudioCapture() = default;
    // Closes the input. Owner thread; blocks until SDL's audio thread has finished.
    ~SdlAudioCapture() override;

    Result<void> open(AudioFormat format) override;
    void setPaused(bool paused) override;
    std::size_t read(float *dst, std::size_t maxFrames) override;
    bool waitForFrames(std::chrono::milliseconds timeout) override;
    std::int64_t framesDropped() const override;
    bool lost() const override;
    void close() override;

    // How much captured sound the ring holds: long enough for a worker that is descheduled or
    // busy growing its recording to catch up without dropping input.
    static constexpr std::chrono::milliseconds kBufferDuration{2000};
    // Captured frames per callback period: a desktop sound server's usual quantum.
    static constexpr int kPeriodFrames = 1024;

private:
    static void takePeriod(void *userdata, std::uint8_t *stream, int length);

    RingBuffer m_ring;
    std::atomic<std::int64_t> m_dropped{0};
    std::chrono::microseconds m_pollInterval{0};
    mutable std::mutex m_lifecycleMutex; // guards m_device and m_subsystem against lost()
    std::optional<SdlAudioSubsystem> m_subsystem;
    std::optional<SdlAudioDevice> m_device;
};

} // namespace zyr::media
