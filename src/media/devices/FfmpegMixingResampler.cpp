#include "media/devices/FfmpegMixingResampler.h"

#include <vector>

extern "C" {
#include <libswresample/swresample.h>
}

namespace zyr::media {

int makeMixingResampler(SwrContextPtr &swr, const AVChannelLayout &inLayout,
                        AVSampleFormat inFormat, int inRate, int outChannels, int outRate)
{
    swr.reset();
    AVChannelLayout mixIn{};
    if (inLayout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&mixIn, inLayout.nb_channels);
    else
        av_channel_layout_copy(&mixIn, &inLayout);
    AVChannelLayout mixOut{};
    av_channel_layout_default(&mixOut, outChannels);

    SwrContext *raw = nullptr;
    int rc = swr_alloc_set_opts2(&raw, &mixOut, AV_SAMPLE_FMT_FLT, outRate, &mixIn, inFormat,
                                 inRate, 0, nullptr);
    SwrContextPtr made(raw);
    if (rc >= 0 && mixIn.nb_channels == 1 && outChannels > 1) {
        std::vector<double> matrix(std::size_t(outChannels), 0.0);
        matrix[0] = 1.0;
        matrix[1] = 1.0;
        rc = swr_set_matrix(made.get(), matrix.data(), 1);
    }
    if (rc >= 0)
        rc = swr_init(made.get());
    av_channel_layout_uninit(&mixIn);
    av_channel_layout_uninit(&mixOut);
    if (rc >= 0)
        swr = std::move(made);
    return rc;
}

} // namespace zyr::media
