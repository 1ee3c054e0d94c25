#include "media/devices/VideoFramePump.h"

#include <algorithm>
#include <cmath>

namespace zyr::media {

VideoFramePump::VideoFramePump(std::unique_ptr<FfmpegVideoDecoder> decoder)
    : m_decoder(std::move(decoder)),
      m_frameMs(std::max<std::int64_t>(1, std::llround(1000.0 / m_decoder->frameRate())))
{
    m_worker = std::thread([this] { run(); });
}

VideoFramePump::~VideoFramePump()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

void VideoFramePump::seekToMs(std::int64_t ms)
{
    requestSeek({false, std::max<std::int64_t>(0, ms)});
}

void VideoFramePump::seekToFrame(std::int64_t index)
{
    requestSeek({true, std::max<std::int64_t>(0, index)});
}

void VideoFramePump::requestSeek(Seek seek)
{
    {
        std::lock_guard lock(m_mutex);
        m_seek = seek;
        m_queue.clear();
        m_endOfStream = false;
        ++m_seekSerial;
    }
    m_wake.notify_all();
}

std::optional<VideoFrame> VideoFramePump::takeDue(std::int64_t clockMs, std::int64_t toleranceMs)
{
    std::optional<VideoFrame> due;
    {
        std::lock_guard lock(m_mutex);
        const std::int64_t until = clockMs + toleranceMs;
        while (m_queue.size() >= 2 && m_queue[1].ptsMs <= until) {
            m_queue.pop_front();
            m_dropped.fetch_add(1, std::memory_order_relaxed);
        }
        if (!m_queue.empty() && m_queue.front().ptsMs <= until) {
            due = std::move(m_queue.front());
            m_queue.pop_front();
        }
    }
    if (due)
        m_wake.notify_all();
    return due;
}

// Runs on the worker.
void VideoFramePump::run()
{
    // The last picture decoded or passed over since the last seek: its index and time.
    std::int64_t lastIndex = -1;
    std::int64_t lastPts = -1;
    const std::int64_t finalIndex = m_decoder->frameCount() - 1; // below 0 when unknown
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] {
            return m_quit || m_seek || (m_queue.size() < kFramesAhead && !m_endOfStream);
        });
        if (m_quit)
            break;
        const std::uint64_t serial = m_seekSerial;
        if (m_seek) {
            const Seek seek = *m_seek;
            m_seek.reset();
            lock.unlock();
            const Result<void> sought =
                seek.byFrame ? m_decoder->seekToFrame(seek.value) : m_decoder->seekToMs(seek.value);
            lastIndex = -1;
            lastPts = -1;
            lock.lock();
            if (!sought.ok() && serial == m_seekSerial)
                m_endOfStream = true;
            continue;
        }
        lock.unlock();
        // A picture that would be shown after its successor is due is passed over unconverted;
        // never the movie's last one, which stays on the screen when the movie ends.
        const std::int64_t clock = m_clockMs.load(std::memory_order_relaxed);
        const bool lastComesNext = finalIndex >= 0 && lastIndex + 1 >= finalIndex;
        if (lastPts >= 0 && !lastComesNext && lastPts + 2 * m_frameMs < clock) {
            const Result<bool> skipped = m_decoder->skip();
            lock.lock();
            if (!skipped.ok() || !skipped.value()) {
                if (serial == m_seekSerial)
                    m_endOfStream = true;
            } else {
                ++lastIndex;
                lastPts += m_frameMs;
                m_dropped.fetch_add(1, std::memory_order_relaxed);
            }
            continue;
        }
        Result<std::optional<VideoFrame>> decoded = m_decoder->next();
        lock.lock();
        if (serial != m_seekSerial)
            continue; // decoded for a place the owner has left
        if (!decoded.ok() || !decoded.value()) {
            m_endOfStream = true; // a picture that fails ends the pictures; the sound plays on
            continue;
        }
        lastIndex = decoded.value()->index;
        lastPts = decoded.value()->ptsMs;
        m_queue.push_back(std::move(*decoded.value()));
    }
}

} // namespace zyr::media
