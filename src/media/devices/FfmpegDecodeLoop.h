#pragma once
// The demux-and-decode loop that the audio and video decoders share.

#include "media/core/Result.h"
#include "media/devices/FfmpegHandles.h"

#include <QString>

#include <cstdint>
#include <functional>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace zyr::media {

// Where a stream's decoding stands: the container has no more packets; the codec has given
// its last frame.
struct DecodeLoopState {
    bool demuxerDone = false;
    bool decoderDone = false;
    // The last packet of the stream given to the codec: its place in the file and timestamp.
    std::int64_t lastPacketPos = -1;
    std::int64_t lastPacketDts = AV_NOPTS_VALUE;
    // Packets of the stream up to this place in the file are passed over (-1: none).
    std::int64_t skipThroughPos = -1;
    // A stream read on from its headers (readOnFromHeaders()): the file to open again with its
    // index, and its kind for messages.
    QString reopenPath;
    QString kind;
};

// Lets a stream whose `format` was opened HeadersOnly read on through the file as a stream
// (readOnAsStream()). Where that reading stops because the stream's packets lie far apart,
// receiveFrame() opens `path` again with its index, seeks back to the last packet given and
// reads on after it; readyToSeek() opens it again for a seek. Nothing for another context.
void readOnFromHeaders(AVFormatContext &format, DecodeLoopState &state, const QString &path,
                       const QString &kind);

// Before a seek of `format`: a stream read on from its headers gets the file opened again with
// its index, and the passing over of packets already given ends.
Result<void> readyToSeek(InputFormatContextPtr &format, int streamIndex, DecodeLoopState &state);

// Takes the next frame of stream `streamIndex` out of `codec` into `frame`, reading and sending
// the container's packets as the codec asks for them and flushing it at the end of the file.
// True with a frame; false at the end of the stream (decoderDone is then set). A failing read
// or decode comes back as `error(code, "read")` or `error(code, "decoded")`. Blocks on I/O.
Result<bool> receiveFrame(InputFormatContextPtr &format, AVCodecContext *codec, AVPacket *packet,
                          int streamIndex, AVFrame *frame, DecodeLoopState &state,
                          const std::function<MediaError(int code, const char *what)> &error);

} // namespace zyr::media
