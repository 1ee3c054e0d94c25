#pragma once
// A sink that picks its output at open time: it makes and opens each candidate in order and
// keeps the first that opens, forwarding every call to it until close. While the output in use
// is lost (a sound card unplugged, the sound server gone), or is a later candidate than the
// first, the owner's writes try the earlier candidates again every retry interval in the same
// format; the first that opens takes over, so sound comes back when a device returns, while the
// clock carries on without a jump (what the lost output still held is dropped).

#include "media/core/MonotonicClock.h"
#include "media/output/AudioSink.h"
#include "media/output/AudioSinkFactory.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

namespace zyr::media {

class FallbackAudioSink final : public AudioSink {
public:
    // How often a better output is looked for: rarely enough that trying to open a missing
    // device costs nothing noticeable, often enough that sound returns soon after the device.
    static constexpr std::chrono::milliseconds kRetryInterval{1000};

    // The retry interval is measured on `clock`.
    explicit FallbackAudioSink(std::vector<AudioSinkFactory> candidates,
                               std::chrono::milliseconds retryInterval = kRetryInterval,
                               MonotonicClock clock = steadyClock());
    ~FallbackAudioSink() override;

    // Returns the first candidate's success. When every candidate fails, returns the last
    // failure, its message listing every candidate's; UnsupportedFormat is returned at once
    // for an invalid format, since no output could take it.
    Result<AudioFormat> open(AudioFormat requested) override;
    std::size_t write(const float *frames, std::size_t frameCount) override;
    void setPaused(bool paused) override;
    void flush() override;
    std::int64_t framesPlayed() const override;
    std::int64_t framesQueued() const override;
    void close() override;
    bool lost() const override;

    // Position in the candidate list of the output in use, or -1 when closed. Any thread; does
    // not block beyond a short lock.
    int activeIndex() const;

private:
    // Switches to an earlier candidate, or a fresh one of the same kind when the active output
    // is lost, once the retry interval has passed. Owner thread.
    void retryBetterOutput();

    const std::vector<AudioSinkFactory> m_candidates;
    const std::chrono::milliseconds m_retryInterval;
    const MonotonicClock m_clock;
    // Owner thread: the format opened and when a better output was last looked for.
    AudioFormat m_format;
    std::chrono::steady_clock::time_point m_lastRetry;
    // Guards which output is active against the members other threads may call; the owner's
    // own calls need it only to read the pointer, as open and close never run alongside them.
    mutable std::mutex m_activeMutex;
    std::unique_ptr<AudioSink> m_active;
    int m_activeIndex = -1;
    bool m_paused = false;           // as last set, for an output taking over
    std::int64_t m_playedBefore = 0; // played by outputs replaced since the last open or flush
};

} // namespace zyr::media
