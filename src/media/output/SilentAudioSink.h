#pragma once
// An output that plays nothing but keeps time like one that does. It accepts the requested
// format, buffers kSinkBufferDuration of frame counts (not samples), and consumes them at the
// format's rate against the steady clock while running, so positions, status and end of play
// behave as with sound.
//
// There is no playback thread: consumption is settled lazily whenever a member is called, from
// an anchor time and the frames credited since it. Time spent with nothing queued or paused is
// not banked: the anchor restarts whenever the queue runs empty and on resume, so frames written
// afterwards start playing when they arrive, not earlier. Everything is under one mutex; no
// caller holds it longer than a few arithmetic steps.

#include "media/output/AudioSink.h"

#include <chrono>
#include <cstdint>
#include <mutex>

namespace zyr::media {

class SilentAudioSink final : public AudioSink {
public:
    SilentAudioSink() = default;
    ~SilentAudioSink() override;

    // Never fails for a valid format, which it returns unchanged; UnsupportedFormat otherwise.
    Result<AudioFormat> open(AudioFormat requested) override;
    std::size_t write(const float *frames, std::size_t frameCount) override;
    void setPaused(bool paused) override;
    void flush() override;
    // Exact: a frame counts as played once its whole duration has elapsed.
    std::int64_t framesPlayed() const override;
    std::int64_t framesQueued() const override;
    void close() override;
    // Always false: there is no hardware to lose.
    bool lost() const override;

private:
    using Clock = std::chrono::steady_clock;

    // Moves frames the clock has consumed by `now` from queued to played.
    void settleLocked(Clock::time_point now) const;
    void restartAnchorLocked(Clock::time_point now) const;

    mutable std::mutex m_mutex;
    AudioFormat m_format;
    bool m_open = false;
    bool m_paused = false;
    std::int64_t m_capacity = 0;
    mutable std::int64_t m_queued = 0;
    mutable std::int64_t m_played = 0;
    // Consumption runs from here at the format's rate; m_credited frames are already counted.
    mutable Clock::time_point m_anchor;
    mutable std::int64_t m_credited = 0;
};

} // namespace zyr::media
