#pragma once
// The one place every device's sound ends. A device decodes on its worker thread, converts to
// the format open() returned, and pushes frames with write(), waiting a while of its own when
// the sink's buffer is full. The sink plays from that buffer on its own schedule.
//
// Threads. Two roles share a sink:
//   - the owner (the device worker) calls open, write, flush and close;
//   - any thread, typically the UI thread, may at the same time call setPaused, framesPlayed,
//     framesQueued and lost.
// open and close must not run concurrently with write or flush: the device stops
// feeding before it closes. No member is ever called from a sink's own playback thread.
//
// Clock. framesPlayed() counts frames in the output format since the last open() or flush(),
// and only grows in between. A device that flushes on seek and remembers the media position of
// the first frame it writes afterwards (its start offset) gets its playback position as
//     position = startOffset + durationOf(framesPlayed())
// Every frame write() accepted since then is either played or queued, so framesPlayed() +
// framesQueued() is the count written (exact while paused; otherwise the two reads are a moment
// apart). After the device writes its last frame, playback has ended when framesQueued() is 0.

#include "media/core/Result.h"
#include "media/output/AudioFormat.h"

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace zyr::media {

// How much audio a sink buffers ahead of the speaker: long enough to ride out a worker that is
// descheduled or busy decoding a large packet, short enough to keep memory and drain time small.
inline constexpr std::chrono::milliseconds kSinkBufferDuration{250};

class AudioSink {
public:
    AudioSink() = default;
    AudioSink(const AudioSink &) = delete;
    AudioSink &operator=(const AudioSink &) = delete;
    // Closes the sink if it is open. Owner thread.
    virtual ~AudioSink() = default;

    // Opens the output for `requested` and returns the format actually used, which the device
    // must convert to; the sink starts running (not paused) with empty buffers and both counters
    // at 0. Opening an open sink closes it first. Owner thread, never a sink's playback thread;
    // may block while the output device starts.
    virtual Result<AudioFormat> open(AudioFormat requested) = 0;

    // Copies as many whole frames of `frames` (interleaved, in the opened format) as fit into
    // the buffer and returns how many; 0 when full or not open. Owner thread; never blocks.
    virtual std::size_t write(const float *frames, std::size_t frameCount) = 0;

    // Stops (true) or resumes (false) playback, keeping everything buffered; framesPlayed()
    // stands still while paused. Any thread; does not block beyond a short internal lock.
    virtual void setPaused(bool paused) = 0;

    // Drops every buffered frame not yet played and restarts the clock: framesPlayed() and
    // framesQueued() are 0 when it returns. Used on stop and seek. Owner thread; waits at most
    // for one playback period in progress.
    virtual void flush() = 0;

    // Frames played since the last open() or flush(); never decreases in between. "Played"
    // means taken from the buffer for output; each sink documents what latency it leaves out.
    // Any thread; does not block.
    virtual std::int64_t framesPlayed() const = 0;

    // Frames written and neither played nor dropped. Any thread; does not block.
    virtual std::int64_t framesQueued() const = 0;

    // Stops playback and releases the output; counters read 0 afterwards. Idempotent. Owner
    // thread; blocks until the sink's playback thread, if any, has finished.
    virtual void close() = 0;

    // True once the output device has gone away while open; the sink keeps consuming so the
    // clock still runs, and the device may move to a silent output. Any thread; does not block.
    virtual bool lost() const = 0;
};

} // namespace zyr::media
