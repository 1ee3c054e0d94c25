#pragma once
// Converts interleaved float frames from one rate and channel count to another through FFmpeg's
// resampler, mixing channels as the kit's decoders do (see FfmpegMixingResampler). Used where
// sound that is already decoded must meet an output that plays another format.
//
// Threads. Belongs to one thread at a time; no locks.

#include "media/core/Result.h"
#include "media/devices/FfmpegHandles.h"
#include "media/output/AudioFormat.h"

#include <cstddef>
#include <vector>

namespace zyr::media {

class FloatResampler {
public:
    // Sets the conversion up; fails with UnsupportedFormat when FFmpeg cannot do it.
    Result<void> configure(AudioFormat from, AudioFormat to);

    // Converts `count` frames of `in` and appends what comes out to `out` (the resampler keeps
    // a few frames back until more input or drain()).
    Result<void> convert(const float *in, std::size_t count, std::vector<float> &out);
    // Appends the frames held back, at the end of the sound.
    Result<void> drain(std::vector<float> &out);
    // Forgets everything held back, for a seek.
    void reset();

private:
    Result<void> run(const float *in, std::size_t count, std::vector<float> &out);

    SwrContextPtr m_swr;
    AudioFormat m_from;
    AudioFormat m_to;
};

} // namespace zyr::media
