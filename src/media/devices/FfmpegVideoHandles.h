#pragma once
// Owners for the FFmpeg handles that only the video side uses, in the manner of
// FfmpegHandles.h: a std::unique_ptr whose deleter calls the matching FFmpeg free function.
//
// Thread context: none of these types synchronise; a handle belongs to whichever thread currently
// owns the object that holds it.

extern "C" {
#include <libswscale/swscale.h>
}

#include <memory>

namespace zyr::media {

// A scaler / pixel format converter from sws_getContext().
struct SwsContextDeleter {
    void operator()(SwsContext *context) const { sws_freeContext(context); }
};
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextDeleter>;

} // namespace zyr::media
