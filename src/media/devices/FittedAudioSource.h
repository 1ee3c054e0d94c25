#pragma once

#include "media/devices/AudioSource.h"

#include <memory>

namespace zyr::media {

// The sound of a movie, fitted to the movie's length: the inner source's sound, cut where the
// movie ends or followed by silence until it does; with no inner source, silence throughout.
// A movie's playback runs against this sound, so its clock, end and position behave as any
// other medium's. Used on the playback's worker, like every AudioSource.
class FittedAudioSource : public AudioSource {
public:
    // Silence of the movie's length at a small format, for movies without sound.
    static constexpr AudioFormat kSilenceFormat{8000, 1};

    // `inner` may be null (silence); `lengthFrames` is the movie's length at the inner source's
    // rate, or at kSilenceFormat's rate for silence.
    FittedAudioSource(std::unique_ptr<AudioSource> inner, std::int64_t lengthFrames);

    AudioFormat sourceFormat() const override;
    std::int64_t lengthFrames() const override { return m_lengthFrames; }
    Result<void> setOutputFormat(const AudioFormat &format) override;
    Result<std::size_t> read(float *dst, std::size_t maxFrames) override;
    Result<void> seekToFrame(std::int64_t sourceFrame) override;

private:
    std::int64_t toOutput(std::int64_t sourceFrames) const;

    std::unique_ptr<AudioSource> m_inner;
    const std::int64_t m_lengthFrames;
    AudioFormat m_output;
    std::int64_t m_outputFrame = 0; // output frames produced since the start
    bool m_innerDone = false;
};

} // namespace zyr::media
