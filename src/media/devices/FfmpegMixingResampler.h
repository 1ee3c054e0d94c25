#pragma once
// The one way the kit sets up FFmpeg's resampler for its output: interleaved float at the
// output's rate and channel count, other layouts through FFmpeg's standard up/down mix, and
// mono at full level on the front pair instead of FFmpeg's -3 dB split.

#include "media/devices/FfmpegHandles.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

namespace zyr::media {

// Makes `swr` convert `inLayout` (an unspecified order counts as the default layout of its
// channel count) in `inFormat` at `inRate` to float at `outRate` with `outChannels`. Returns
// FFmpeg's code: negative on failure, when `swr` is left empty. Any thread; allocates.
int makeMixingResampler(SwrContextPtr &swr, const AVChannelLayout &inLayout,
                        AVSampleFormat inFormat, int inRate, int outChannels, int outRate);

} // namespace zyr::media
