#include "media/devices/FfmpegDecodeLoop.h"

#include "media/devices/FfmpegInput.h"

namespace zyr::media {

void readOnFromHeaders(AVFormatContext &format, DecodeLoopState &state, const QString &path,
                       const QString &kind)
{
    if (!readsHeadersOnly(format))
        return;
    readOnAsStream(format);
    state.reopenPath = path;
    state.kind = kind;
}

Result<void> readyToSeek(InputFormatContextPtr &format, int streamIndex, DecodeLoopState &state)
{
    if (readsHeadersOnly(*format) && !state.reopenPath.isEmpty()) {
        if (Result<void> full = reopenForPackets(format, state.reopenPath, streamIndex, state.kind);
            !full)
            return full;
    }
    state.skipThroughPos = -1;
    return {};
}

Result<bool> receiveFrame(InputFormatContextPtr &format, AVCodecContext *codec, AVPacket *packet,
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
        rc = av_read_frame(format.get(), packet);
        if (readingStopped(*format)) {
            // What the stopped read gave is dropped, a packet cut short included.
            av_packet_unref(packet);
            if (state.reopenPath.isEmpty())
                return error(AVERROR_EXIT, "read");
            if (Result<void> full =
                    reopenForPackets(format, state.reopenPath, streamIndex, state.kind);
                !full)
                return full.error();
            // The index places the reading at or before the last packet given (where that
            // fails, at the start of the file); the packets up to it are passed over.
            state.skipThroughPos = state.lastPacketPos;
            if (state.lastPacketDts != AV_NOPTS_VALUE)
                av_seek_frame(format.get(), streamIndex, state.lastPacketDts, AVSEEK_FLAG_BACKWARD);
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
            if (packet->pos < 0 || packet->pos > state.skipThroughPos) {
                state.lastPacketPos = packet->pos;
                state.lastPacketDts = packet->dts;
                rc = avcodec_send_packet(codec, packet);
            }
        }
        av_packet_unref(packet);
        if (rc < 0 && rc != AVERROR(EAGAIN))
            return error(rc, "decoded");
    }
}

} // namespace zyr::media
