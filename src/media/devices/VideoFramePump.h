#pragma once
// Decodes a movie's pictures ahead of the clock on a thread of its own, into a small queue the
// UI thread takes them from when they are due.
//
// The worker first primes the decoder (opens the codec and decodes the first picture), which
// is the slow part of opening a movie, fills its queue and says how that went through
// Events::primed. It then keeps kFramesAhead pictures queued, unconverted (as the codec made
// them) but scaled to the size the owner wants them at (the movie's display size unless it
// says otherwise) where that differs from the decoded size, so that the UI thread only
// converts each picture into the window, at its own size.
//
// Threads. The owner (UI thread) calls every public member; none waits on decoding. The worker
// owns the decoder and calls Events on its own thread (they must not block; the device turns
// them into queued calls). A seek clears the queue and raises a serial, so a picture decoded
// for the old place is never queued after it. When the pictures fall behind the clock the
// worker passes over whole pictures without scaling them (the sound is never held back).

#include "media/devices/FfmpegPictureConverter.h"
#include "media/devices/FfmpegVideoDecoder.h"
#include "media/devices/VideoPicture.h"

#include <QSize>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
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
    // The worker is woken to decode again once this few pictures are left, and then fills the
    // queue in one go: one wake-up for several pictures, with a picture's time to spare.
    static constexpr std::size_t kRefillAt = 1;

    // Called on the worker; must return at once.
    struct Events {
        // Once, first: the first pictures are queued (kFramesAhead of them, or all there are),
        // with the size to show them at (known from the first picture); or the decoder cannot
        // be primed (the movie cannot be shown; no picture will come).
        std::function<void(const Result<QSize> &displaySize)> primed;
        // A picture was queued, or the pictures ended, after nextPictureMs() found none.
        std::function<void()> pictureQueued;
    };

    VideoFramePump(std::unique_ptr<FfmpegVideoDecoder> decoder, Events events);
    // Stops the worker and waits for it: at most one picture's decoding (or the priming).
    ~VideoFramePump();

    // The next picture taken is the last one at or before `ms` / the one with that index.
    void seekToMs(std::int64_t ms);
    void seekToFrame(std::int64_t index);
    // Where playback stands, so the worker can pass over pictures that would come too late.
    void setClock(std::int64_t ms) { m_clockMs.store(ms, std::memory_order_relaxed); }
    // The size (in pixels) pictures queued from now on should have; empty: the decoder's
    // display size.
    void setPictureSize(QSize size);
    // The latest queued picture due at `clockMs` (its time at or before clockMs + toleranceMs),
    // dropping the due ones before it; nothing when none is due yet.
    std::optional<VideoPicture> takeDue(std::int64_t clockMs, std::int64_t toleranceMs);
    // The time of the first queued picture. Nothing when none is queued; then the next one
    // queued, or the end of the pictures, calls Events::pictureQueued once.
    std::optional<std::int64_t> nextPictureMs();
    // No picture is queued and none will come before the next seek: the pictures ended, or
    // failed.
    bool atEnd() const;
    // Pictures passed over or dropped because they came too late.
    std::int64_t droppedFrames() const { return m_dropped.load(std::memory_order_relaxed); }

private:
    struct Seek {
        bool byFrame = false;
        std::int64_t value = 0;
    };

    void requestSeek(Seek seek);
    void run();
    // Whether the owner waits for a picture; clears the wish. Caller holds m_mutex.
    bool takeNotifyWish();

    std::unique_ptr<FfmpegVideoDecoder> m_decoder; // the worker's
    FfmpegPictureConverter m_scaler;               // the worker's
    const Events m_events;
    std::int64_t m_frameMs = 40; // the worker's, once primed

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<VideoPicture> m_queue; // guarded by m_mutex
    std::optional<Seek> m_seek;       // guarded by m_mutex
    std::uint64_t m_seekSerial = 0;   // guarded by m_mutex
    bool m_endOfStream = false;       // guarded by m_mutex
    bool m_quit = false;              // guarded by m_mutex
    bool m_notifyOnQueue = false;     // guarded by m_mutex
    QSize m_pictureSize;              // guarded by m_mutex
    std::atomic<std::int64_t> m_clockMs{0};
    std::atomic<std::int64_t> m_dropped{0};
    std::thread m_worker;
};

} // namespace zyr::media
