#include "media/devices/WaveAudioDevice.h"

#include "media/devices/FfmpegAudioDecoder.h"
#include "media/devices/FfmpegAudioSource.h"

namespace zyr::media {

Result<std::unique_ptr<AudioSource>> WaveAudioDevice::openSource(const QString &fileName)
{
    Result<std::unique_ptr<FfmpegAudioDecoder>> decoder = FfmpegAudioDecoder::open(fileName);
    if (!decoder.ok())
        return decoder.error();
    return std::unique_ptr<AudioSource>(
        std::make_unique<FfmpegAudioSource>(std::move(decoder).value()));
}

} // namespace zyr::media
