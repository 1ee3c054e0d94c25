#pragma once
// Decodes a movie's pictures ahead of the clock on a thread of its own, into a small queue the
// UI thread takes them from when they are due.
//
// Threads. The owner (UI thread) calls every public member; none waits on decoding. The worker
// owns the decoder. A seek clears the queue and raises a serial, so a picture decoded for the
// old place is never queued after it. When the pictures fall behind the clock the worker
// passes over whole pictures without converting them (the sound is never held back for them).

#include "media/devices/FfmpegVideoDecoder.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace zyr::media {

class VideoFramePump {
public:
    // Pictures decoded ahead of the clock: enough to ride out a slow picture, few enough that a
    // seek throws little work away.
    static constexpr std::size_t kFramesAhead = 3;

    explicit VideoFramePump(std::unique_ptr<FfmpegVideoDecoder> decoder);
    // Stops the worker and waits for it: at most one picture's decoding.
    ~VideoFramePump();

    // The next picture taken is the last one at or before `ms` / the one with that index.
    void seekToMs(std::int64_t ms);
    void seekToFrame(std::int64_t index);
    // Where playback stands, so the worker can pass over pictures that would come too late.
    void setClock(std::int64_t ms) { m_clockMs.store(ms, std::memory_order_relaxed); }
    // The latest queued picture due at `clockMs` (its time at or before clockMs + toleranceMs),
    // dropping the due ones before it; nothing when none is due yet.
    std::optional<VideoFrame> takeDue(std::int64_t clockMs, std::int64_t toleranceMs);
    // Pictures passed over or dropped because they came too late.
    std::int64_t droppedFrames() const { return m_dropped.load(std::memory_order_relaxed); }

private:
    struct Seek {
        bool byFrame = false;
        std::int64_t value = 0;
    };

    void requestSeek(Seek seek);
    void run();

    std::unique_ptr<FfmpegVideoDecoder> m_decoder; // the worker's
    const std::int64_t m_frameMs;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<VideoFrame> m_queue; // guarded by m_mutex
    std::optional<Seek> m_seek;     // guarded by m_mutex
    std::uint64_t m_seekSerial = 0; // guarded by m_mutex
    bool m_endOfStream = false;     // guarded by m_mutex
    bool m_quit = false;            // guarded by m_mutex
    std::atomic<std::int64_t> m_clockMs{0};
    std::atomic<std::int64_t> m_dropped{0};
    std::thread m_worker;
};

} // namespace zyr::media
