#include "media/devices/VideoFramePump.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace zyr::media {

VideoFramePump::VideoFramePump(std::unique_ptr<FfmpegVideoDecoder> decoder, Events events)
    : m_decoder(std::move(decoder)), m_events(std::move(events))
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

void VideoFramePump::setPictureSize(QSize size)
{
    std::lock_guard lock(m_mutex);
    m_pictureSize = size;
}

std::optional<VideoPicture> VideoFramePump::takeDue(std::int64_t clockMs, std::int64_t toleranceMs)
{
    std::optional<VideoPicture> due;
    bool refill = false;
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
        refill = due && m_queue.size() <= kRefillAt;
    }
    if (refill)
        m_wake.notify_all();
    return due;
}

std::optional<std::int64_t> VideoFramePump::nextPictureMs()
{
    std::lock_guard lock(m_mutex);
    if (!m_queue.empty())
        return m_queue.front().ptsMs;
    if (!m_endOfStream || m_seek)
        m_notifyOnQueue = true;
    return std::nullopt;
}

bool VideoFramePump::atEnd() const
{
    std::lock_guard lock(m_mutex);
    return m_queue.empty() && m_endOfStream && !m_seek;
}

bool VideoFramePump::takeNotifyWish()
{
    return std::exchange(m_notifyOnQueue, false);
}

// Runs on the worker.
void VideoFramePump::run()
{
    const Result<void> primed = m_decoder->prime();
    // Pictures come at the size they are shown at, unless the owner wants another.
    const QSize displaySize = primed ? m_decoder->displaySize() : QSize();
    if (primed) {
        m_frameMs = std::max<std::int64_t>(1, std::llround(1000.0 / m_decoder->frameRate()));
    } else {
        std::lock_guard lock(m_mutex);
        m_endOfStream = true; // nothing will come, a seek included (it fails the same way)
    }
    bool announced = !primed;
    if (!primed && m_events.primed)
        m_events.primed(primed.error());

    // The last picture decoded or passed over since the last seek: its index and time.
    std::int64_t lastIndex = -1;
    std::int64_t lastPts = -1;
    const std::int64_t finalIndex = m_decoder->frameCount() - 1; // below 0 when unknown
    std::unique_lock lock(m_mutex);
    // Tells the owner, outside the lock, that the first pictures are there, and that the
    // picture it waits for is there (or never comes).
    const auto notify = [&] {
        const bool ready = !announced && (m_queue.size() >= kFramesAhead || m_endOfStream);
        const bool wished = takeNotifyWish();
        if (!ready && !wished)
            return;
        announced = announced || ready;
        lock.unlock();
        if (ready && m_events.primed)
            m_events.primed(displaySize);
        if (wished && m_events.pictureQueued)
            m_events.pictureQueued();
        lock.lock();
    };
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
            if (!sought.ok() && serial == m_seekSerial) {
                m_endOfStream = true;
                notify();
            }
            continue;
        }
        const QSize wanted = m_pictureSize.isEmpty() ? displaySize : m_pictureSize;
        lock.unlock();
        // A picture that would be shown after its successor is due is passed over unscaled;
        // never the movie's last one, which stays on the screen when the movie ends.
        const std::int64_t clock = m_clockMs.load(std::memory_order_relaxed);
        const bool lastComesNext = finalIndex >= 0 && lastIndex + 1 >= finalIndex;
        if (lastPts >= 0 && !lastComesNext && lastPts + 2 * m_frameMs < clock) {
            const Result<bool> skipped = m_decoder->skip();
            lock.lock();
            if (!skipped.ok() || !skipped.value()) {
                if (serial == m_seekSerial) {
                    m_endOfStream = true;
                    notify();
                }
            } else {
                ++lastIndex;
                lastPts += m_frameMs;
                m_dropped.fetch_add(1, std::memory_order_relaxed);
            }
            continue;
        }
        Result<std::optional<VideoPicture>> decoded = m_decoder->nextPicture();
        if (decoded.ok() && decoded.value() && !wanted.isEmpty() &&
            QSize(decoded.value()->frame->width, decoded.value()->frame->height) != wanted) {
            VideoPicture &picture = *decoded.value();
            Result<FramePtr> sized = m_scaler.scaled(*picture.frame, wanted);
            if (sized)
                picture.frame = std::move(sized).value();
            else
                decoded = sized.error();
        }
        lock.lock();
        if (serial != m_seekSerial)
            continue; // decoded for a place the owner has left
        if (!decoded.ok() || !decoded.value()) {
            m_endOfStream = true; // a picture that fails ends the pictures; the sound plays on
        } else {
            lastIndex = decoded.value()->index;
            lastPts = decoded.value()->ptsMs;
            m_queue.push_back(std::move(*decoded.value()));
        }
        notify();
    }
}

} // namespace zyr::media
