#pragma once
// An AudioSink that passes everything on to a real one and notes, on a steady clock, when the
// sink finished opening and when the first frames were handed to it after arm(). For the
// latency benchmarks only.
//
// Threads: as AudioSink. The stamps are atomics, read from any thread.

#include "media/output/ForwardingAudioSink.h"

#include <atomic>
#include <chrono>
#include <memory>

namespace zyr::bench {

// What a TimingAudioSink saw, shared with the benchmark that reads it.
struct SinkStamps {
    using Clock = std::chrono::steady_clock;
    static std::int64_t now() { return Clock::now().time_since_epoch().count(); }

    std::atomic<std::int64_t> openedAt{0};     // when open() returned, 0 before
    std::atomic<bool> armed{false};            // first frames are noted only once armed
    std::atomic<std::int64_t> firstWriteAt{0}; // first accepted write() after arm(), 0 before

    void arm()
    {
        firstWriteAt.store(0);
        armed.store(true);
    }
};

class TimingAudioSink : public media::ForwardingAudioSink {
public:
    TimingAudioSink(std::unique_ptr<media::AudioSink> inner, std::shared_ptr<SinkStamps> stamps)
        : ForwardingAudioSink(std::move(inner)), m_stamps(std::move(stamps))
    {
    }

    media::Result<media::AudioFormat> open(media::AudioFormat requested) override
    {
        auto opened = ForwardingAudioSink::open(requested);
        m_stamps->openedAt.store(SinkStamps::now());
        return opened;
    }
    std::size_t write(const float *frames, std::size_t frameCount) override
    {
        const std::size_t written = ForwardingAudioSink::write(frames, frameCount);
        if (written > 0 && m_stamps->armed.load() && m_stamps->firstWriteAt.load() == 0)
            m_stamps->firstWriteAt.store(SinkStamps::now());
        return written;
    }

private:
    std::shared_ptr<SinkStamps> m_stamps;
};

} // namespace zyr::bench
