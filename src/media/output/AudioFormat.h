#pragma once
// The shape of the audio a sink plays: interleaved 32-bit float samples at a rate and channel
// count. Frame counts and durations convert through it without floating point, so positions
// derived from frame counts never drift.

#include <chrono>
#include <cstdint>

namespace zyr::media {

struct AudioFormat {
    // Highest rate accepted; above anything a decoder or a sound card delivers in practice.
    static constexpr int kMaxSampleRate = 384000;
    // Most channels accepted; 7.1 is the widest layout SDL and the decoders share.
    static constexpr int kMaxChannels = 8;

    int sampleRate = 0;
    int channels = 0;

    // True when both fields are within (0, kMax...]. Any thread; does not block.
    constexpr bool isValid() const
    {
        return sampleRate > 0 && sampleRate <= kMaxSampleRate && channels > 0 &&
               channels <= kMaxChannels;
    }

    // Whole frames that fit in `duration`, rounded down; 0 for negative durations or an
    // invalid format. Any thread; does not block.
    constexpr std::int64_t framesIn(std::chrono::nanoseconds duration) const
    {
        if (!isValid() || duration.count() <= 0) {
            return 0;
        }
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
        const std::int64_t remainderNs = (duration - seconds).count();
        return seconds.count() * sampleRate + remainderNs * sampleRate / kNanosPerSecond;
    }

    // Time `frames` frames take to play, rounded up to the next nanosecond, so that
    // framesIn(durationOf(n)) == n. 0 for negative counts or an invalid format. Any thread;
    // does not block.
    constexpr std::chrono::nanoseconds durationOf(std::int64_t frames) const
    {
        if (!isValid() || frames <= 0) {
            return std::chrono::nanoseconds{0};
        }
        const std::int64_t seconds = frames / sampleRate;
        const std::int64_t remainder = frames % sampleRate;
        const std::int64_t remainderNs =
            (remainder * kNanosPerSecond + sampleRate - 1) / sampleRate;
        return std::chrono::nanoseconds{seconds * kNanosPerSecond + remainderNs};
    }

    friend constexpr bool operator==(const AudioFormat &, const AudioFormat &) = default;

private:
    static constexpr std::int64_t kNanosPerSecond = 1'000'000'000;
};

} // namespace zyr::media
