#pragma once

#include "media/devices/AudioSource.h"
#include "media/devices/FfmpegAudioDecoder.h"

#include <memory>

namespace zyr::media {

// An AudioSource over an FFmpeg decoder: the sound of a file, as the WaveAudio device plays it.
class FfmpegAudioSource : public AudioSource {
public:
    explicit FfmpegAudioSource(std::unique_ptr<FfmpegAudioDecoder> decoder)
        : m_decoder(std::move(decoder))
    {
    }

    AudioFormat sourceFormat() const override
    {
        return {m_decoder->sourceSampleRate(), m_decoder->sourceChannels()};
    }
    std::int64_t lengthFrames() const override { return m_decoder->lengthFrames(); }
    Result<void> setOutputFormat(const AudioFormat &format) override
    {
        return m_decoder->setOutputFormat(format);
    }
    Result<std::size_t> read(float *dst, std::size_t maxFrames) override
    {
        return m_decoder->read(dst, maxFrames);
    }
    Result<void> seekToFrame(std::int64_t sourceFrame) override
    {
        return m_decoder->seekToFrame(sourceFrame);
    }

private:
    std::unique_ptr<FfmpegAudioDecoder> m_decoder;
};

} // namespace zyr::media
