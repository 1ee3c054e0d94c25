#pragma once
// Where recorded sound comes from. A recorder opens a capture in the format of the sound it
// records into and takes frames from it on its worker thread, while the input fills a buffer
// on its own schedule.
//
// Threads. The owner (the recorder's worker) calls open, setPaused, read, waitForFrames and
// close; any thread may call framesDropped and lost.

#include "media/core/Result.h"
#include "media/output/AudioFormat.h"

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace zyr::media {

class AudioCapture {
public:
    AudioCapture() = default;
    AudioCapture(const AudioCapture &) = delete;
    AudioCapture &operator=(const AudioCapture &) = delete;
    // Closes the capture if it is open. Owner thread.
    virtual ~AudioCapture() = default;

    // Opens the default input delivering interleaved float frames in exactly `format`; the
    // capture converts from whatever the input delivers. It starts held (see setPaused) with an
    // empty buffer. Fails with DeviceUnavailable. Owner thread; may block while the input starts.
    virtual Result<void> open(AudioFormat format) = 0;

    // Holds (true) or runs (false) the input; what arrives while held is not captured, what was
    // captured before stays readable. Owner thread; blocks for at most one input period.
    virtual void setPaused(bool paused) = 0;

    // Copies up to `maxFrames` captured frames into `dst` (room for maxFrames * channels floats)
    // and returns how many; 0 when none are waiting. Owner thread; never blocks.
    virtual std::size_t read(float *dst, std::size_t maxFrames) = 0;

    // Blocks until frames are waiting or `timeout` passes; returns whether frames are waiting.
    // Returns false at once when not open. Owner thread; blocks.
    virtual bool waitForFrames(std::chrono::milliseconds timeout) = 0;

    // Frames the input delivered that found no room because the owner fell behind. Any
    // thread; does not block.
    virtual std::int64_t framesDropped() const = 0;

    // True once the input device has gone away while open. Any thread; does not block.
    virtual bool lost() const = 0;

    // Stops the input and releases it; idempotent. Owner thread; blocks until the input's own
    // thread, if any, has finished.
    virtual void close() = 0;
};

} // namespace zyr::media
