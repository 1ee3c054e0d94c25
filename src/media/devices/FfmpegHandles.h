#pragma once
// Owners for the FFmpeg handles used by the FFmpeg-backed decoders. Every handle FFmpeg hands out
// is wrapped in a std::unique_ptr whose deleter calls the matching FFmpeg free function, so an
// early return on any error path releases everything that was allocated before it.
//
// Thread context: none of these types synchronise; a handle belongs to whichever thread currently
// owns the decoder that holds it.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
}

#include <QString>

#include <memory>

namespace zyr::media {

// A demuxer context opened with avformat_open_input(), with whatever the kit keeps in its user
// data (`opaque`, allocated with av_malloc: see FfmpegInput.cpp).
struct InputFormatContextDeleter {
    void operator()(AVFormatContext *context) const
    {
        void *const userData = context != nullptr ? context->opaque : nullptr;
        avformat_close_input(&context);
        av_free(userData);
    }
};
using InputFormatContextPtr = std::unique_ptr<AVFormatContext, InputFormatContextDeleter>;

// A muxer context from avformat_alloc_output_context2(); closes its AVIOContext too when the
// muxer writes to a file of its own.
struct OutputFormatContextDeleter {
    void operator()(AVFormatContext *context) const
    {
        if (context != nullptr && context->oformat != nullptr &&
            (context->oformat->flags & AVFMT_NOFILE) == 0) {
            avio_closep(&context->pb);
        }
        avformat_free_context(context);
    }
};
using OutputFormatContextPtr = std::unique_ptr<AVFormatContext, OutputFormatContextDeleter>;

struct CodecContextDeleter {
    void operator()(AVCodecContext *context) const { avcodec_free_context(&context); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;

struct SwrContextDeleter {
    void operator()(SwrContext *context) const { swr_free(&context); }
};
using SwrContextPtr = std::unique_ptr<SwrContext, SwrContextDeleter>;

struct PacketDeleter {
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

struct FrameDeleter {
    void operator()(AVFrame *frame) const { av_frame_free(&frame); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

// The text FFmpeg gives for an AVERROR code, for the human part of a MediaError.
inline QString ffmpegErrorText(int errorCode)
{
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
    if (av_strerror(errorCode, buffer, sizeof buffer) < 0) {
        return QStringLiteral("FFmpeg error %1").arg(errorCode);
    }
    return QString::fromUtf8(buffer);
}

} // namespace zyr::media
