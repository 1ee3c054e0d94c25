#include "media/devices/FloatResampler.h"

#include "media/devices/FfmpegMixingResampler.h"

extern "C" {
#include <libswresample/swresample.h>
}

namespace zyr::media {

Result<void> FloatResampler::configure(AudioFormat from, AudioFormat to)
{
    AVChannelLayout layout{};
    av_channel_layout_default(&layout, from.channels);
    const int rc = makeMixingResampler(m_swr, layout, AV_SAMPLE_FMT_FLT, from.sampleRate,
                                       to.channels, to.sampleRate);
    av_channel_layout_uninit(&layout);
    if (rc < 0)
        return makeError(ErrorKind::UnsupportedFormat,
                         QStringLiteral("Sound cannot be converted from %1 Hz with %2 channels to "
                                        "%3 Hz with %4 channels: %5")
                             .arg(from.sampleRate)
                             .arg(from.channels)
                             .arg(to.sampleRate)
                             .arg(to.channels)
                             .arg(ffmpegErrorText(rc)));
    m_from = from;
    m_to = to;
    return {};
}

Result<void> FloatResampler::convert(const float *in, std::size_t count, std::vector<float> &out)
{
    return run(in, count, out);
}

Result<void> FloatResampler::drain(std::vector<float> &out)
{
    return run(nullptr, 0, out);
}

void FloatResampler::reset()
{
    if (m_swr) {
        swr_close(m_swr.get());
        swr_init(m_swr.get());
    }
}

Result<void> FloatResampler::run(const float *in, std::size_t count, std::vector<float> &out)
{
    if (!m_swr)
        return makeError(ErrorKind::Internal, QStringLiteral("The resampler is not set up."));
    const int inFrames = static_cast<int>(count);
    const int room = swr_get_out_samples(m_swr.get(), inFrames);
    if (room < 0)
        return makeError(ErrorKind::Internal, ffmpegErrorText(room));
    const std::size_t before = out.size();
    out.resize(before + static_cast<std::size_t>(room) * static_cast<std::size_t>(m_to.channels));
    auto *outData = reinterpret_cast<std::uint8_t *>(out.data() + before);
    const auto *inData = reinterpret_cast<const std::uint8_t *>(in);
    const int made = swr_convert(m_swr.get(), &outData, room, in ? &inData : nullptr, inFrames);
    if (made < 0) {
        out.resize(before);
        return makeError(ErrorKind::Internal, ffmpegErrorText(made));
    }
    out.resize(before + static_cast<std::size_t>(made) * static_cast<std::size_t>(m_to.channels));
    return {};
}

} // namespace zyr::media
