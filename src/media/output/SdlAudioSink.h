#pragma once
// Sound through SDL2's default output device. The worker writes into a lock-free ring buffer
// sized kSinkBufferDuration; SDL's audio thread runs the callback, which only copies out of the
// ring, fills the rest of its period with silence on underrun, and adds what it copied to the
// played count. No lock, allocation, Qt call or logging happens on that thread.
//
// framesPlayed() counts frames the callback has handed to SDL. The period SDL is playing and
// whatever the driver and sound server buffer behind it (typically one or two periods, tens of
// milliseconds) are not subtracted, so the clock runs slightly ahead of what is heard.
//
// flush() holds the callback off with SDL's device lock while it empties the ring from the
// producer side and zeroes the count; pausing uses SDL's own pause, which also keeps the
// callback from running.

#include "media/output/AudioSink.h"
#include "media/output/RingBuffer.h"
#include "media/output/SdlAudioDevice.h"
#include "media/output/SdlAudioSubsystem.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>

namespace zyr::media {

class SdlAudioSink final : public AudioSink {
public:
    SdlAudioSink() = default;
    // Closes the device. Owner thread; blocks until SDL's audio thread has finished.
    ~SdlAudioSink() override;

    // Fails with DeviceUnavailable when SDL has no audio driver or no output device.
    Result<AudioFormat> open(AudioFormat requested) override;
    std::size_t write(const float *frames, std::size_t frameCount) override;
    void setPaused(bool paused) override;
    void flush() override;
    std::int64_t framesPlayed() const override;
    std::int64_t framesQueued() const override;
    void close() override;
    // True once SDL reports the device stopped, e.g. a USB card unplugged or the sound server
    // gone; SDL keeps calling the callback at the same pace, so the clock keeps running.
    bool lost() const override;

    // Frames per callback period SDL settled on; 0 when closed. Owner thread; does not block.
    int periodFrames() const;

    // Period asked of SDL for a rate: the power of two nearest kTargetPeriod, kept within
    // [kMinPeriodFrames, kMaxPeriodFrames]. Any thread; does not block.
    static int periodFramesFor(int sampleRate);

    // Shortest period asked for: below it PulseAudio and PipeWire clients underrun easily.
    static constexpr int kMinPeriodFrames = 512;
    // Longest period asked for: keeps pause, underrun gaps and the unreported latency short.
    static constexpr int kMaxPeriodFrames = 1024;
    // Period aimed at within those bounds: the usual desktop sound-server quantum.
    static constexpr std::chrono::milliseconds kTargetPeriod{20};

private:
    static void fillPeriod(void *userdata, std::uint8_t *stream, int length);

    // Guards the presence of the device against setPaused and lost from other threads.
    mutable std::mutex m_lifecycleMutex;
    std::optional<SdlAudioSubsystem> m_subsystem;
    RingBuffer m_ring;
    // Frames the callback copied since open or flush; written by the callback, or by flush
    // while the callback is held off.
    std::atomic<std::int64_t> m_played{0};
    // Declared last so it is destroyed first: SDL's thread stops before the ring goes away.
    std::optional<SdlAudioDevice> m_device;
};

} // namespace zyr::media
