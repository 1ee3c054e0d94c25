#pragma once
// One decoded picture on its way from a movie's decoder to the screen: the codec's own frame
// (planar YUV for most codecs), not yet converted for display, with its place in the movie.
// Moving it hands the frame over; the frame's buffers are reference-counted by FFmpeg, so it
// may be released on any thread.

#include "media/devices/FfmpegHandles.h"

#include <cstdint>

namespace zyr::media {

struct VideoPicture {
    std::int64_t ptsMs = 0; // presentation time from the start of the stream
    std::int64_t index = 0; // frame number, as FfmpegVideoDecoder counts them
    FramePtr frame;         // never null in a picture handed out
};

} // namespace zyr::media
