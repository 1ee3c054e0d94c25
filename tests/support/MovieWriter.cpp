#include "MovieWriter.h"

#include "media/devices/FfmpegHandles.h"
#include "media/devices/FfmpegVideoHandles.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
}

#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>

namespace zyr::test {

namespace {

using zyr::media::CodecContextPtr;
using zyr::media::ffmpegErrorText;
using zyr::media::FramePtr;
using zyr::media::OutputFormatContextPtr;
using zyr::media::PacketPtr;
using zyr::media::SwsContextPtr;

constexpr int kGridColumns = 4;
constexpr int kGridRows = 3;
constexpr int kIndexBits = 8; // the top two rows
// Mean channel levels a decoded cell must clear to count as "on" or stay under to count as
// "off"; lossy codecs move flat cells by a few levels, never by a third of the range.
constexpr int kOnLevel = 170;
constexpr int kOffLevel = 85;

constexpr double kToneFrequency = 440.0;
constexpr double kToneAmplitude = 0.3;

void setError(QString *error, const QString &message)
{
    if (error != nullptr) {
        *error = message;
    }
}

const char *containerName(MovieContainer container)
{
    switch (container) {
    case MovieContainer::Avi:
        return "avi";
    case MovieContainer::Matroska:
        return "matroska";
    case MovieContainer::Mp4:
        return "mp4";
    case MovieContainer::MpegTs:
        return "mpegts";
    }
    return "avi";
}

const AVCodec *videoEncoder(MovieCodec codec)
{
    switch (codec) {
    case MovieCodec::Mpeg4Xvid:
    case MovieCodec::Mpeg4Divx:
        return avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    case MovieCodec::Mjpeg:
        return avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    case MovieCodec::MsVideo1:
        return avcodec_find_encoder(AV_CODEC_ID_MSVIDEO1);
    case MovieCodec::Cinepak:
        return avcodec_find_encoder(AV_CODEC_ID_CINEPAK);
    case MovieCodec::RawVideo:
        return avcodec_find_encoder(AV_CODEC_ID_RAWVIDEO);
    case MovieCodec::HuffYuv:
        return avcodec_find_encoder(AV_CODEC_ID_HUFFYUV);
    case MovieCodec::H264:
        return avcodec_find_encoder(AV_CODEC_ID_H264);
    }
    return nullptr;
}

const char *videoCodecLabel(MovieCodec codec)
{
    switch (codec) {
    case MovieCodec::Mpeg4Xvid:
    case MovieCodec::Mpeg4Divx:
        return "MPEG-4";
    case MovieCodec::Mjpeg:
        return "Motion JPEG";
    case MovieCodec::MsVideo1:
        return "MS Video 1";
    case MovieCodec::Cinepak:
        return "Cinepak";
    case MovieCodec::RawVideo:
        return "raw video";
    case MovieCodec::HuffYuv:
        return "HuffYUV";
    case MovieCodec::H264:
        return "H.264";
    }
    return "?";
}

AVPixelFormat encoderPixelFormat(MovieCodec codec)
{
    switch (codec) {
    case MovieCodec::Mjpeg:
        return AV_PIX_FMT_YUVJ420P;
    case MovieCodec::MsVideo1:
        return AV_PIX_FMT_RGB555LE;
    case MovieCodec::Cinepak:
        return AV_PIX_FMT_RGB24;
    case MovieCodec::RawVideo:
        return AV_PIX_FMT_BGR24;
    case MovieCodec::HuffYuv:
        return AV_PIX_FMT_YUV422P;
    case MovieCodec::Mpeg4Xvid:
    case MovieCodec::Mpeg4Divx:
    case MovieCodec::H264:
        return AV_PIX_FMT_YUV420P;
    }
    return AV_PIX_FMT_YUV420P;
}

AVCodecID audioCodecId(MovieAudio audio)
{
    switch (audio) {
    case MovieAudio::Pcm16:
        return AV_CODEC_ID_PCM_S16LE;
    case MovieAudio::ImaAdpcm:
        return AV_CODEC_ID_ADPCM_IMA_WAV;
    case MovieAudio::Mp3:
        return AV_CODEC_ID_MP3;
    case MovieAudio::None:
        break;
    }
    return AV_CODEC_ID_NONE;
}

// The first sample format among those the tone writer fills that `codec` takes.
AVSampleFormat toneSampleFormat(const AVCodec *codec)
{
    static constexpr AVSampleFormat kFilled[] = {AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_S16P,
                                                 AV_SAMPLE_FMT_FLTP, AV_SAMPLE_FMT_FLT};
    if (codec->sample_fmts == nullptr) {
        return AV_SAMPLE_FMT_S16;
    }
    for (const AVSampleFormat *format = codec->sample_fmts; *format != AV_SAMPLE_FMT_NONE;
         ++format) {
        if (std::find(std::begin(kFilled), std::end(kFilled), *format) != std::end(kFilled)) {
            return *format;
        }
    }
    return AV_SAMPLE_FMT_NONE;
}

void fillTone(AVFrame *frame, std::int64_t firstSample, int count, int sampleRate)
{
    const int channels = frame->ch_layout.nb_channels;
    const auto format = AVSampleFormat(frame->format);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    for (int i = 0; i < frame->nb_samples; ++i) {
        const double t = double(firstSample + i) / sampleRate;
        const double value =
            i < count ? kToneAmplitude * std::sin(2.0 * std::numbers::pi * kToneFrequency * t)
                      : 0.0;
        for (int c = 0; c < channels; ++c) {
            const int plane = planar ? c : 0;
            const int slot = planar ? i : i * channels + c;
            if (format == AV_SAMPLE_FMT_S16 || format == AV_SAMPLE_FMT_S16P) {
                reinterpret_cast<qint16 *>(frame->extended_data[plane])[slot] =
                    qint16(std::lround(value * 32767.0));
            } else {
                reinterpret_cast<float *>(frame->extended_data[plane])[slot] = float(value);
            }
        }
    }
}

// Sends `frame` (nullptr to flush) and hands every packet that comes out to `onPacket`.
bool encode(AVCodecContext *ctx, const AVFrame *frame, AVPacket *packet,
            const std::function<bool(AVPacket *)> &onPacket, QString *error)
{
    int rc = avcodec_send_frame(ctx, frame);
    if (rc < 0) {
        setError(error, QStringLiteral("%1 encoding failed: %2")
                            .arg(QLatin1String(ctx->codec->name), ffmpegErrorText(rc)));
        return false;
    }
    for (;;) {
        rc = avcodec_receive_packet(ctx, packet);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) {
            return true;
        }
        if (rc < 0) {
            setError(error, QStringLiteral("%1 encoding failed: %2")
                                .arg(QLatin1String(ctx->codec->name), ffmpegErrorText(rc)));
            return false;
        }
        const bool ok = onPacket(packet);
        av_packet_unref(packet);
        if (!ok) {
            return false;
        }
    }
}

// Encodes QImages into the pixel format an encoder takes.
class PictureConverter {
public:
    bool init(int width, int height, AVPixelFormat format, QString *error)
    {
        m_sws.reset(sws_getContext(width, height, AV_PIX_FMT_RGB32, width, height, format,
                                   SWS_BILINEAR, nullptr, nullptr, nullptr));
        m_frame.reset(av_frame_alloc());
        if (!m_sws || !m_frame) {
            setError(error, QStringLiteral("cannot convert pictures to %1")
                                .arg(QLatin1String(av_get_pix_fmt_name(format))));
            return false;
        }
        m_frame->format = format;
        m_frame->width = width;
        m_frame->height = height;
        if (int rc = av_frame_get_buffer(m_frame.get(), 0); rc < 0) {
            setError(error, ffmpegErrorText(rc));
            return false;
        }
        return true;
    }

    AVFrame *convert(const QImage &picture, QString *error)
    {
        if (int rc = av_frame_make_writable(m_frame.get()); rc < 0) {
            setError(error, ffmpegErrorText(rc));
            return nullptr;
        }
        const std::uint8_t *const source[4] = {picture.constBits(), nullptr, nullptr, nullptr};
        const int sourceStride[4] = {int(picture.bytesPerLine()), 0, 0, 0};
        sws_scale(m_sws.get(), source, sourceStride, 0, picture.height(), m_frame->data,
                  m_frame->linesize);
        return m_frame.get();
    }

private:
    SwsContextPtr m_sws;
    FramePtr m_frame;
};

// The sound side of write(): a tone in whatever frame size the encoder wants.
class ToneEncoder {
public:
    bool open(const MovieOptions &options, AVFormatContext *muxer, QString *error)
    {
        const AVCodec *codec = avcodec_find_encoder(audioCodecId(options.audio));
        if (codec == nullptr) {
            setError(error, QStringLiteral("no encoder for %1")
                                .arg(avcodec_get_name(audioCodecId(options.audio))));
            return false;
        }
        m_ctx.reset(avcodec_alloc_context3(codec));
        m_frame.reset(av_frame_alloc());
        m_stream = avformat_new_stream(muxer, nullptr);
        if (!m_ctx || !m_frame || m_stream == nullptr) {
            setError(error, QStringLiteral("out of memory"));
            return false;
        }
        m_rate = options.audioRate;
        m_ctx->sample_rate = m_rate;
        av_channel_layout_default(&m_ctx->ch_layout, options.audioChannels);
        m_ctx->sample_fmt = toneSampleFormat(codec);
        m_ctx->time_base = AVRational{1, m_rate};
        if (codec->id == AV_CODEC_ID_MP3) {
            m_ctx->bit_rate = 64000;
        }
        if ((muxer->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
            m_ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        if (m_ctx->sample_fmt == AV_SAMPLE_FMT_NONE) {
            setError(error, QStringLiteral("%1 takes no sample format the tone writer fills")
                                .arg(QLatin1String(codec->name)));
            return false;
        }
        int rc = avcodec_open2(m_ctx.get(), codec, nullptr);
        if (rc >= 0) {
            rc = avcodec_parameters_from_context(m_stream->codecpar, m_ctx.get());
        }
        if (rc < 0) {
            setError(error, QStringLiteral("cannot open %1: %2")
                                .arg(QLatin1String(codec->name), ffmpegErrorText(rc)));
            return false;
        }
        m_stream->time_base = m_ctx->time_base;
        m_frameSize = m_ctx->frame_size > 0 ? m_ctx->frame_size : 1024;
        m_padLast = (codec->capabilities &
                     (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE)) == 0;
        const std::int64_t ms = options.audioMs >= 0 ? options.audioMs
                                                     : std::int64_t(options.frames) * 1000 *
                                                           options.rateDen / options.rateNum;
        m_total = ms * m_rate / 1000;
        m_frame->format = m_ctx->sample_fmt;
        m_frame->sample_rate = m_rate;
        m_frame->nb_samples = m_frameSize;
        av_channel_layout_copy(&m_frame->ch_layout, &m_ctx->ch_layout);
        if (rc = av_frame_get_buffer(m_frame.get(), 0); rc < 0) {
            setError(error, ffmpegErrorText(rc));
            return false;
        }
        return true;
    }

    // Encodes the tone up to `untilSample` (whole encoder frames; the last one may be short).
    bool encodeUntil(std::int64_t untilSample, AVPacket *packet,
                     const std::function<bool(AVPacket *)> &write, QString *error)
    {
        untilSample = std::min(untilSample, m_total);
        while (m_next < untilSample) {
            const int count = int(std::min<std::int64_t>(m_frameSize, m_total - m_next));
            if (int rc = av_frame_make_writable(m_frame.get()); rc < 0) {
                setError(error, ffmpegErrorText(rc));
                return false;
            }
            m_frame->nb_samples = (count < m_frameSize && m_padLast) ? m_frameSize : count;
            fillTone(m_frame.get(), m_next, count, m_rate);
            m_frame->pts = m_next;
            m_next += count;
            if (!encode(m_ctx.get(), m_frame.get(), packet, stamped(write), error)) {
                return false;
            }
        }
        return true;
    }

    bool finish(AVPacket *packet, const std::function<bool(AVPacket *)> &write, QString *error)
    {
        return encodeUntil(m_total, packet, write, error) &&
               encode(m_ctx.get(), nullptr, packet, stamped(write), error);
    }

    std::int64_t sampleAt(std::int64_t num, std::int64_t den) const
    {
        return (num * m_rate + den - 1) / den;
    }

private:
    std::function<bool(AVPacket *)> stamped(const std::function<bool(AVPacket *)> &write) const
    {
        return [this, write](AVPacket *packet) {
            packet->stream_index = m_stream->index;
            // Start the sound at 0 rather than before the pictures: AVI cannot store an early
            // start, and libavformat would shift the pictures to make up for it, leaving a
            // gap in the video frame slots.
            if (packet->pts != AV_NOPTS_VALUE) {
                packet->pts += m_ctx->initial_padding;
            }
            if (packet->dts != AV_NOPTS_VALUE) {
                packet->dts += m_ctx->initial_padding;
            }
            av_packet_rescale_ts(packet, m_ctx->time_base, m_stream->time_base);
            return write(packet);
        };
    }

    CodecContextPtr m_ctx;
    FramePtr m_frame;
    AVStream *m_stream = nullptr;
    int m_rate = 0;
    int m_frameSize = 0;
    bool m_padLast = false;
    std::int64_t m_total = 0;
    std::int64_t m_next = 0;
};

bool openOutput(AVFormatContext *muxer, const QByteArray &name, QString *error)
{
    int rc = avio_open(&muxer->pb, name.constData(), AVIO_FLAG_WRITE);
    if (rc >= 0) {
        rc = avformat_write_header(muxer, nullptr);
    }
    if (rc < 0) {
        setError(error, QStringLiteral("cannot start %1: %2")
                            .arg(QLatin1String(muxer->oformat->name), ffmpegErrorText(rc)));
        return false;
    }
    return true;
}

bool finishOutput(AVFormatContext *muxer, QString *error)
{
    if (int rc = av_write_trailer(muxer); rc < 0) {
        setError(error, ffmpegErrorText(rc));
        return false;
    }
    return true;
}

// Pictures at 10 per second, 64x48, through a muxer for picture formats.
bool writePictureStream(const QString &path, const char *muxerName, AVCodecID codecId,
                        AVPixelFormat pixelFormat, int frames, QString *error)
{
    constexpr int kWidth = 64;
    constexpr int kHeight = 48;
    AVFormatContext *raw = nullptr;
    const QByteArray name = QFile::encodeName(path);
    if (int rc = avformat_alloc_output_context2(&raw, nullptr, muxerName, name.constData());
        rc < 0) {
        setError(error, ffmpegErrorText(rc));
        return false;
    }
    OutputFormatContextPtr muxer(raw);
    const AVCodec *codec = avcodec_find_encoder(codecId);
    if (codec == nullptr) {
        setError(error, QStringLiteral("no %1 encoder").arg(avcodec_get_name(codecId)));
        return false;
    }
    CodecContextPtr ctx(avcodec_alloc_context3(codec));
    AVStream *stream = avformat_new_stream(muxer.get(), nullptr);
    PacketPtr packet(av_packet_alloc());
    if (!ctx || stream == nullptr || !packet) {
        setError(error, QStringLiteral("out of memory"));
        return false;
    }
    ctx->width = kWidth;
    ctx->height = kHeight;
    ctx->pix_fmt = pixelFormat;
    ctx->time_base = AVRational{1, 10};
    int rc = avcodec_open2(ctx.get(), codec, nullptr);
    if (rc >= 0) {
        rc = avcodec_parameters_from_context(stream->codecpar, ctx.get());
    }
    if (rc < 0) {
        setError(error, ffmpegErrorText(rc));
        return false;
    }
    stream->time_base = ctx->time_base;
    if (!openOutput(muxer.get(), name, error)) {
        return false;
    }
    const auto writePacket = [&](AVPacket *out) {
        out->stream_index = stream->index;
        if (out->duration == 0) {
            out->duration = 1;
        }
        av_packet_rescale_ts(out, ctx->time_base, stream->time_base);
        const int written = av_write_frame(muxer.get(), out);
        if (written < 0) {
            setError(error, ffmpegErrorText(written));
        }
        return written >= 0;
    };
    PictureConverter converter;
    if (!converter.init(kWidth, kHeight, ctx->pix_fmt, error)) {
        return false;
    }
    for (int i = 0; i < frames; ++i) {
        AVFrame *frame = converter.convert(MovieWriter::framePicture(i, kWidth, kHeight), error);
        if (frame == nullptr) {
            return false;
        }
        frame->pts = i;
        if (!encode(ctx.get(), frame, packet.get(), writePacket, error)) {
            return false;
        }
    }
    return encode(ctx.get(), nullptr, packet.get(), writePacket, error) &&
           finishOutput(muxer.get(), error);
}

} // namespace

bool MovieWriter::canWrite(const MovieOptions &options, QString *why)
{
    if (videoEncoder(options.codec) == nullptr) {
        setError(why, QStringLiteral("this FFmpeg has no %1 encoder")
                          .arg(QLatin1String(videoCodecLabel(options.codec))));
        return false;
    }
    if (options.audio != MovieAudio::None &&
        avcodec_find_encoder(audioCodecId(options.audio)) == nullptr) {
        setError(why, QStringLiteral("this FFmpeg has no %1 encoder")
                          .arg(QLatin1String(avcodec_get_name(audioCodecId(options.audio)))));
        return false;
    }
    return true;
}

std::optional<WrittenMovie> MovieWriter::write(const QString &path, const MovieOptions &options,
                                               QString *error)
{
    if (options.frames < 1 || options.frames > kMaxFrames || options.width < 2 ||
        options.height < 2 || options.rateNum <= 0 || options.rateDen <= 0) {
        setError(error, QStringLiteral("options out of range"));
        return std::nullopt;
    }
    const AVCodec *codec = videoEncoder(options.codec);
    if (codec == nullptr) {
        setError(
            error,
            QStringLiteral("no %1 encoder").arg(QLatin1String(videoCodecLabel(options.codec))));
        return std::nullopt;
    }

    AVFormatContext *raw = nullptr;
    const QByteArray name = QFile::encodeName(path);
    if (int rc = avformat_alloc_output_context2(&raw, nullptr, containerName(options.container),
                                                name.constData());
        rc < 0) {
        setError(error, ffmpegErrorText(rc));
        return std::nullopt;
    }
    OutputFormatContextPtr muxer(raw);
    const bool isAvi = options.container == MovieContainer::Avi;

    CodecContextPtr ctx(avcodec_alloc_context3(codec));
    AVStream *stream = avformat_new_stream(muxer.get(), nullptr);
    PacketPtr packet(av_packet_alloc());
    if (!ctx || stream == nullptr || !packet) {
        setError(error, QStringLiteral("out of memory"));
        return std::nullopt;
    }
    const AVRational frameDuration{options.rateDen, options.rateNum};
    const AVRational sampleAspect{options.sarNum, options.sarDen};
    ctx->width = options.width;
    ctx->height = options.height;
    ctx->pix_fmt = encoderPixelFormat(options.codec);
    ctx->time_base = frameDuration;
    ctx->framerate = AVRational{options.rateNum, options.rateDen};
    ctx->sample_aspect_ratio = sampleAspect;
    ctx->max_b_frames = 0;
    if (options.keyInterval > 0) {
        ctx->gop_size = options.keyInterval;
        ctx->keyint_min = options.keyInterval;
    }
    if ((muxer->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
        ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    switch (options.codec) {
    case MovieCodec::Mpeg4Xvid:
    case MovieCodec::Mpeg4Divx:
        ctx->max_b_frames = options.bFrames ? 2 : 0;
        [[fallthrough]];
    case MovieCodec::Mjpeg:
        // Constant, fine quantiser: every cell stays flat.
        ctx->flags |= AV_CODEC_FLAG_QSCALE;
        ctx->global_quality = FF_QP2LAMBDA * 2;
        break;
    case MovieCodec::Cinepak:
        if (options.keyInterval > 0) {
            av_opt_set_int(ctx->priv_data, "keyint", options.keyInterval, 0);
        }
        break;
    case MovieCodec::H264:
        av_opt_set(ctx->priv_data, "preset", "veryfast", 0);
        av_opt_set(ctx->priv_data, "crf", "18", 0);
        ctx->thread_count = 1;
        ctx->max_b_frames = options.bFrames ? 2 : 0;
        break;
    case MovieCodec::MsVideo1:
    case MovieCodec::RawVideo:
    case MovieCodec::HuffYuv:
        break;
    }
    if (int rc = avcodec_open2(ctx.get(), codec, nullptr); rc < 0) {
        setError(error, QStringLiteral("cannot open %1: %2")
                            .arg(QLatin1String(codec->name), ffmpegErrorText(rc)));
        return std::nullopt;
    }
    if (int rc = avcodec_parameters_from_context(stream->codecpar, ctx.get()); rc < 0) {
        setError(error, ffmpegErrorText(rc));
        return std::nullopt;
    }
    stream->time_base = frameDuration;
    stream->avg_frame_rate = ctx->framerate;
    stream->sample_aspect_ratio = sampleAspect;
    if (isAvi && options.codec == MovieCodec::Mpeg4Xvid) {
        stream->codecpar->codec_tag = MKTAG('X', 'V', 'I', 'D');
    } else if (isAvi && options.codec == MovieCodec::Mpeg4Divx) {
        stream->codecpar->codec_tag = MKTAG('D', 'X', '5', '0');
    }

    ToneEncoder tone;
    const bool withSound = options.audio != MovieAudio::None;
    if (withSound && !tone.open(options, muxer.get(), error)) {
        return std::nullopt;
    }
    if (!openOutput(muxer.get(), name, error)) {
        return std::nullopt;
    }

    // A single stream needs no interleaving, so packets go straight to the file and their
    // offsets are known.
    WrittenMovie written;
    const bool recordOffsets = isAvi && !withSound;
    const auto writePacket = [&](AVPacket *out) {
        if (recordOffsets) {
            written.videoPayloadOffsets.push_back(avio_tell(muxer->pb) + 8);
        }
        const int rc = recordOffsets || options.runFrames > 0
                           ? av_write_frame(muxer.get(), out)
                           : av_interleaved_write_frame(muxer.get(), out);
        if (rc < 0) {
            setError(error, ffmpegErrorText(rc));
        }
        return rc >= 0;
    };
    const auto writeVideo = [&](AVPacket *out) {
        out->stream_index = stream->index;
        if (out->duration == 0) {
            out->duration = 1;
        }
        av_packet_rescale_ts(out, ctx->time_base, stream->time_base);
        return writePacket(out);
    };

    PictureConverter converter;
    if (!converter.init(options.width, options.height, ctx->pix_fmt, error)) {
        return std::nullopt;
    }
    // The sound up to the end of frame `end` (exclusive).
    const auto soundUntil = [&](int end) {
        return tone.encodeUntil(tone.sampleAt(std::int64_t(end) * options.rateDen, options.rateNum),
                                packet.get(), writePacket, error);
    };
    const int run = std::max(options.runFrames, 1);
    for (int i = 0; i < options.frames; ++i) {
        const int runEnd = std::min((i / run + 1) * run, options.frames);
        if (withSound && !options.soundAfterRun && i % run == 0 && !soundUntil(runEnd)) {
            return std::nullopt;
        }
        AVFrame *frame = converter.convert(framePicture(i, options.width, options.height), error);
        if (frame == nullptr) {
            return std::nullopt;
        }
        frame->pts = i;
        frame->sample_aspect_ratio = sampleAspect;
        if (!encode(ctx.get(), frame, packet.get(), writeVideo, error)) {
            return std::nullopt;
        }
        if (withSound && options.soundAfterRun && i + 1 == runEnd && !soundUntil(runEnd)) {
            return std::nullopt;
        }
    }
    if (!encode(ctx.get(), nullptr, packet.get(), writeVideo, error)) {
        return std::nullopt;
    }
    if (withSound && !tone.finish(packet.get(), writePacket, error)) {
        return std::nullopt;
    }
    if (!finishOutput(muxer.get(), error)) {
        return std::nullopt;
    }
    muxer.reset();
    written.fileSize = QFileInfo(path).size();
    return written;
}

QImage MovieWriter::framePicture(int index, int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    static const QColor kReference[kGridColumns] = {Qt::red, Qt::green, Qt::blue, Qt::white};
    for (int row = 0; row < kGridRows; ++row) {
        for (int column = 0; column < kGridColumns; ++column) {
            QColor colour;
            if (row * kGridColumns + column < kIndexBits) {
                const int bit = kIndexBits - 1 - (row * kGridColumns + column);
                colour = ((index >> bit) & 1) != 0 ? Qt::white : Qt::black;
            } else {
                colour = kReference[column];
            }
            const int x0 = column * width / kGridColumns;
            const int x1 = (column + 1) * width / kGridColumns;
            const int y0 = row * height / kGridRows;
            const int y1 = (row + 1) * height / kGridRows;
            for (int y = y0; y < y1; ++y) {
                auto *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
                std::fill(line + x0, line + x1, colour.rgb());
            }
        }
    }
    return picture;
}

int MovieWriter::readFrameIndex(const QImage &picture, QString *why)
{
    if (picture.width() < kGridColumns * 4 || picture.height() < kGridRows * 4) {
        setError(why, QStringLiteral("picture too small"));
        return -1;
    }
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    // Mean of the middle half of a cell, away from edges that codecs blur.
    const auto cellMean = [&rgb](int column, int row) {
        const int x0 = column * rgb.width() / kGridColumns;
        const int x1 = (column + 1) * rgb.width() / kGridColumns;
        const int y0 = row * rgb.height() / kGridRows;
        const int y1 = (row + 1) * rgb.height() / kGridRows;
        const int left = x0 + (x1 - x0) / 4;
        const int right = x1 - (x1 - x0) / 4;
        const int top = y0 + (y1 - y0) / 4;
        const int bottom = y1 - (y1 - y0) / 4;
        qint64 r = 0;
        qint64 g = 0;
        qint64 b = 0;
        for (int y = top; y < bottom; ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
            for (int x = left; x < right; ++x) {
                r += qRed(line[x]);
                g += qGreen(line[x]);
                b += qBlue(line[x]);
            }
        }
        const qint64 count = qint64(right - left) * (bottom - top);
        return QColor(int(r / count), int(g / count), int(b / count));
    };
    const auto describe = [](const QColor &c) {
        return QStringLiteral("(%1, %2, %3)").arg(c.red()).arg(c.green()).arg(c.blue());
    };

    int index = 0;
    for (int cell = 0; cell < kIndexBits; ++cell) {
        const QColor mean = cellMean(cell % kGridColumns, cell / kGridColumns);
        const bool on = mean.red() > kOnLevel && mean.green() > kOnLevel && mean.blue() > kOnLevel;
        const bool off =
            mean.red() < kOffLevel && mean.green() < kOffLevel && mean.blue() < kOffLevel;
        if (!on && !off) {
            setError(why, QStringLiteral("index cell %1 is %2").arg(cell).arg(describe(mean)));
            return -1;
        }
        index = index * 2 + (on ? 1 : 0);
    }
    const int referenceRow = kGridRows - 1;
    const QColor red = cellMean(0, referenceRow);
    const QColor green = cellMean(1, referenceRow);
    const QColor blue = cellMean(2, referenceRow);
    const QColor white = cellMean(3, referenceRow);
    const auto only = [](int main, int other1, int other2) {
        return main > kOnLevel && other1 < kOffLevel && other2 < kOffLevel;
    };
    if (!only(red.red(), red.green(), red.blue()) ||
        !only(green.green(), green.red(), green.blue()) ||
        !only(blue.blue(), blue.red(), blue.green()) ||
        !(white.red() > kOnLevel && white.green() > kOnLevel && white.blue() > kOnLevel)) {
        setError(why, QStringLiteral("reference cells red %1 green %2 blue %3 white %4")
                          .arg(describe(red), describe(green), describe(blue), describe(white)));
        return -1;
    }
    return index;
}

bool MovieWriter::writeSoundWithCover(const QString &path, QString *error)
{
    constexpr int kRate = 22050;
    AVFormatContext *raw = nullptr;
    const QByteArray name = QFile::encodeName(path);
    if (int rc = avformat_alloc_output_context2(&raw, nullptr, "flac", name.constData()); rc < 0) {
        setError(error, ffmpegErrorText(rc));
        return false;
    }
    OutputFormatContextPtr muxer(raw);

    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!framePicture(1, 64, 48).save(&buffer, "PNG")) {
            setError(error, QStringLiteral("cannot make the cover picture"));
            return false;
        }
    }

    const AVCodec *codec = avcodec_find_encoder(AV_CODEC_ID_FLAC);
    if (codec == nullptr) {
        setError(error, QStringLiteral("no FLAC encoder"));
        return false;
    }
    CodecContextPtr ctx(avcodec_alloc_context3(codec));
    AVStream *sound = avformat_new_stream(muxer.get(), nullptr);
    AVStream *cover = avformat_new_stream(muxer.get(), nullptr);
    FramePtr frame(av_frame_alloc());
    PacketPtr packet(av_packet_alloc());
    if (!ctx || sound == nullptr || cover == nullptr || !frame || !packet) {
        setError(error, QStringLiteral("out of memory"));
        return false;
    }
    ctx->sample_rate = kRate;
    av_channel_layout_default(&ctx->ch_layout, 1);
    ctx->sample_fmt = AV_SAMPLE_FMT_S16;
    ctx->time_base = AVRational{1, kRate};
    int rc = avcodec_open2(ctx.get(), codec, nullptr);
    if (rc >= 0) {
        rc = avcodec_parameters_from_context(sound->codecpar, ctx.get());
    }
    if (rc < 0) {
        setError(error, ffmpegErrorText(rc));
        return false;
    }
    sound->time_base = ctx->time_base;
    cover->disposition = AV_DISPOSITION_ATTACHED_PIC;
    cover->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    cover->codecpar->codec_id = AV_CODEC_ID_PNG;
    cover->codecpar->width = 64;
    cover->codecpar->height = 48;
    av_dict_set(&cover->metadata, "comment", "Cover (front)", 0);
    if (!openOutput(muxer.get(), name, error)) {
        return false;
    }

    // The muxer holds the sound back until the picture has come.
    if (rc = av_new_packet(packet.get(), int(png.size())); rc < 0) {
        setError(error, ffmpegErrorText(rc));
        return false;
    }
    std::copy(png.cbegin(), png.cend(), packet->data);
    packet->stream_index = cover->index;
    packet->flags |= AV_PKT_FLAG_KEY;
    if (rc = av_interleaved_write_frame(muxer.get(), packet.get()); rc < 0) {
        setError(error, ffmpegErrorText(rc));
        return false;
    }

    const auto writeSound = [&](AVPacket *out) {
        out->stream_index = sound->index;
        av_packet_rescale_ts(out, ctx->time_base, sound->time_base);
        const int written = av_interleaved_write_frame(muxer.get(), out);
        if (written < 0) {
            setError(error, ffmpegErrorText(written));
        }
        return written >= 0;
    };
    const int frameSize = ctx->frame_size > 0 ? ctx->frame_size : 1024;
    frame->format = ctx->sample_fmt;
    frame->sample_rate = kRate;
    frame->nb_samples = frameSize;
    av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout);
    if (rc = av_frame_get_buffer(frame.get(), 0); rc < 0) {
        setError(error, ffmpegErrorText(rc));
        return false;
    }
    const std::int64_t total = kRate / 2;
    for (std::int64_t start = 0; start < total; start += frameSize) {
        if (rc = av_frame_make_writable(frame.get()); rc < 0) {
            setError(error, ffmpegErrorText(rc));
            return false;
        }
        const int count = int(std::min<std::int64_t>(frameSize, total - start));
        frame->nb_samples = count;
        fillTone(frame.get(), start, count, kRate);
        frame->pts = start;
        if (!encode(ctx.get(), frame.get(), packet.get(), writeSound, error)) {
            return false;
        }
    }
    return encode(ctx.get(), nullptr, packet.get(), writeSound, error) &&
           finishOutput(muxer.get(), error);
}

bool MovieWriter::writeMjpegStream(const QString &path, int frames, QString *error)
{
    return writePictureStream(path, "mjpeg", AV_CODEC_ID_MJPEG, AV_PIX_FMT_YUVJ420P, frames, error);
}

bool MovieWriter::writeGif(const QString &path, int frames, QString *error)
{
    // 3-3-2 bit colour keeps black, white and the reference colours exact.
    return writePictureStream(path, "gif", AV_CODEC_ID_GIF, AV_PIX_FMT_RGB8, frames, error);
}

} // namespace zyr::test
