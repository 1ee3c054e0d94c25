#include "media/devices/FfmpegDecodeLoop.h"

#include "media/devices/FfmpegInput.h"

#include <utility>

namespace zyr::media {

Result<bool> receiveFrame(AVFormatContext *format, AVCodecContext *codec, AVPacket *packet,
                          int streamIndex, AVFrame *frame, DecodeLoopState &state,
                          const std::function<MediaError(int code, const char *what)> &error)
{
    for (;;) {
        if (state.decoderDone)
            return false;
        int rc = avcodec_receive_frame(codec, frame);
        if (rc == 0)
            return true;
        if (rc == AVERROR_EOF) {
            state.decoderDone = true;
            return false;
        }
        if (rc != AVERROR(EAGAIN))
            return error(rc, "decoded");

        if (state.demuxerDone) {
            // Already flushed and the decoder still wants input: nothing more will come.
            state.decoderDone = true;
            return false;
        }
        rc = av_read_frame(format, packet);
        if (readingStopped(*format)) {
            // What the stopped read gave is dropped, a packet cut short included.
            av_packet_unref(packet);
            if (!state.reopenForPackets)
                return error(AVERROR_EXIT, "read");
            Result<AVFormatContext *> reopened = state.reopenForPackets();
            if (!reopened)
                return reopened.error();
            format = reopened.value();
            state.skipPackets = std::exchange(state.streamPackets, 0);
            continue;
        }
        if (rc == AVERROR_EOF) {
            state.demuxerDone = true;
            rc = avcodec_send_packet(codec, nullptr);
            if (rc < 0 && rc != AVERROR_EOF)
                return error(rc, "decoded");
            continue;
        }
        if (rc < 0)
            return error(rc, "read");
        rc = 0;
        if (packet->stream_index == streamIndex) {
            streamPacketRead(*format);
            if (++state.streamPackets > state.skipPackets)
                rc = avcodec_send_packet(codec, packet);
        }
        av_packet_unref(packet);
        if (rc < 0 && rc != AVERROR(EAGAIN))
            return error(rc, "decoded");
    }
}

} // namespace zyr::media
