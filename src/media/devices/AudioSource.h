#pragma once

#include "media/core/Result.h"
#include "media/output/AudioFormat.h"

#include <cstddef>
#include <cstdint>

namespace zyr::media {

// Where a device's sound comes from: a decoder, a synthesizer or a disc reader that produces
// interleaved float frames in an output format of the sink's choosing. Owned by one
// AudioPlayback and used on its worker thread only, after construction on the UI thread.
class AudioSource {
public:
    virtual ~AudioSource() = default;

    // The source's own rate and channel count, which the sink is asked for first.
    virtual AudioFormat sourceFormat() const = 0;

    // Length in source frames; the playback ends after this many.
    virtual std::int64_t lengthFrames() const = 0;

    // Converts everything produced from now on to `format`.
    virtual Result<void> setOutputFormat(const AudioFormat &format) = 0;

    // Produces up to `maxFrames` frames into `dst`; 0 only at the end. Blocks on I/O.
    virtual Result<std::size_t> read(float *dst, std::size_t maxFrames) = 0;

    // Makes the next frame read() produces the one at `sourceFrame`.
    virtual Result<void> seekToFrame(std::int64_t sourceFrame) = 0;
};

} // namespace zyr::media
