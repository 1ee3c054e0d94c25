#pragma once
// Ownership of one open SDL audio device, an output or a capture. The device starts paused; SDL
// runs the callback on its own audio thread, and closing joins that thread, so once close() returns
// the callback's userdata may be freed. SDL headers stay in the .cpp: the id is SDL's Uint32.

#include "media/core/Result.h"
#include "media/output/AudioFormat.h"

#include <cstdint>
#include <utility>

namespace zyr::media {

class SdlAudioDevice {
public:
    // Same signature as SDL_AudioCallback (checked in the .cpp): fills `length` bytes.
    using Callback = void (*)(void *userdata, std::uint8_t *stream, int length);

    // Opens the default output for float32 samples near `requested`, letting SDL change the
    // rate and the channel count, with a callback period of `periodFrames`. Needs a held
    // SdlAudioSubsystem. Fails with DeviceUnavailable. Any thread except an SDL audio callback;
    // blocks while the device starts.
    static Result<SdlAudioDevice> open(AudioFormat requested, int periodFrames, Callback callback,
                                       void *userdata);

    // Opens the default input for float32 samples in exactly `format`: SDL converts whatever the
    // hardware delivers. The callback receives `length` bytes of captured frames. Otherwise as
    // open().
    static Result<SdlAudioDevice> openCapture(AudioFormat format, int periodFrames,
                                              Callback callback, void *userdata);

    // Whether SDL lists a capture device. Needs a held SdlAudioSubsystem. Any thread except an
    // SDL audio callback; does not block beyond the subsystem lock.
    static bool hasCaptureDevice();

    SdlAudioDevice(SdlAudioDevice &&other) noexcept;
    SdlAudioDevice &operator=(SdlAudioDevice &&other) noexcept;
    SdlAudioDevice(const SdlAudioDevice &) = delete;
    SdlAudioDevice &operator=(const SdlAudioDevice &) = delete;
    // Closes the device. Blocks until the callback has returned for the last time.
    ~SdlAudioDevice();

    // Format the device actually plays. Any thread; does not block.
    AudioFormat format() const { return m_format; }

    // Frames SDL asks for per callback. Any thread; does not block.
    int periodFrames() const { return m_periodFrames; }

    // Starts or stops the callback; once it returns no callback is running or will start while
    // paused. Any thread except the callback; blocks for at most one callback in progress.
    void setPaused(bool paused);

    // True when SDL has disabled the device because the hardware went away. Any thread; does
    // not block.
    bool disconnected() const;

    // Runs `fn` while the callback is held off, so it may act as the consumer. Any thread except
    // the callback; blocks for at most one callback in progress plus `fn`.
    template <typename Fn> void whileCallbackStopped(Fn &&fn)
    {
        lockCallback();
        std::forward<Fn>(fn)();
        unlockCallback();
    }

    // Closes the device; idempotent. Any thread except the callback; blocks until the
    // callback has returned for the last time.
    void close();

private:
    enum class Direction { Output, Capture };

    SdlAudioDevice() = default;
    static Result<SdlAudioDevice> openDevice(Direction direction, AudioFormat requested,
                                             int periodFrames, Callback callback, void *userdata);
    void lockCallback();
    void unlockCallback();

    std::uint32_t m_id = 0;
    AudioFormat m_format;
    int m_periodFrames = 0;
};

} // namespace zyr::media
