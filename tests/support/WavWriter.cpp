#include "WavWriter.h"

#include "media/devices/FfmpegHandles.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

#include <QColor>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

namespace zyr::test {

namespace {

using zyr::media::CodecContextPtr;
using zyr::media::ffmpegErrorText;
using zyr::media::FramePtr;
using zyr::media::OutputFormatContextPtr;
using zyr::media::PacketPtr;

constexpr double kSineFrequency = 441.0;
constexpr double kSineAmplitude = 0.5;
// Channel offset of the ramps; odd and far from the ramp periods so channels never coincide.
constexpr std::int64_t kRampChannelOffset = 4099;

// WAVE format tags.
constexpr quint16 kTagPcm = 0x0001;
constexpr quint16 kTagFloat = 0x0003;
constexpr quint16 kTagALaw = 0x0006;
constexpr quint16 kTagMuLaw = 0x0007;
constexpr quint16 kTagImaAdpcm = 0x0011;
constexpr quint16 kTagExtensible = 0xFFFE;

void setError(QString *error, const QString &message)
{
    if (error != nullptr) {
        *error = message;
    }
}

void appendLe16(QByteArray &out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void appendLe32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void appendChunk(QByteArray &out, const char *id, const QByteArray &body)
{
    out.append(id, 4);
    appendLe32(out, quint32(body.size()));
    out.append(body);
    if (body.size() % 2 != 0) {
        out.append('\0');
    }
}

QByteArray infoList()
{
    QByteArray body("INFO");
    appendChunk(body, "INAM", QByteArray("Zyr test signal", 16)); // with its terminating zero
    appendChunk(body, "ISFT", QByteArray("zyr_test_support", 17));
    return body;
}

bool isLossy(WavEncoding encoding)
{
    return encoding == WavEncoding::MuLaw || encoding == WavEncoding::ALaw ||
           encoding == WavEncoding::ImaAdpcm;
}

int bitsPerSample(WavEncoding encoding)
{
    switch (encoding) {
    case WavEncoding::Pcm8:
    case WavEncoding::MuLaw:
    case WavEncoding::ALaw:
        return 8;
    case WavEncoding::Pcm16:
        return 16;
    case WavEncoding::Pcm24:
        return 24;
    case WavEncoding::Pcm32:
    case WavEncoding::Float32:
        return 32;
    case WavEncoding::ImaAdpcm:
        return 4;
    }
    return 16;
}

quint32 channelMask(int channels)
{
    switch (channels) {
    case 1:
        return 0x4; // FC
    case 2:
        return 0x3; // FL FR
    case 3:
        return 0x7; // FL FR FC
    case 4:
        return 0x33; // FL FR BL BR
    case 5:
        return 0x37; // FL FR FC BL BR
    case 6:
        return 0x3F; // 5.1
    case 8:
        return 0x63F; // 7.1
    default:
        return 0;
    }
}

// The integer sample stored for `bits`-bit signed PCM (before the +128 offset of 8-bit data).
std::int64_t integerSample(const WavOptions &options, std::int64_t frame, int channel, int bits)
{
    const std::int64_t half = std::int64_t{1} << (bits - 1);
    if (WavWriter::effectiveSignal(options) == WavSignal::Sine) {
        const double value = WavWriter::sampleValue(options, frame, channel);
        return std::clamp<std::int64_t>(std::llround(value * double(half - 1)), -half, half - 1);
    }
    const std::int64_t index = frame + kRampChannelOffset * channel;
    switch (bits) {
    case 8:
        return index % 256 - 128;
    case 24:
        return (index * 257) % (std::int64_t{1} << 24) - half;
    case 32:
        return (index * 65793) % (std::int64_t{1} << 32) - half;
    default:
        return index % 65536 - half;
    }
}

// Runs interleaved 16-bit samples through a libavcodec encoder and hands each packet on.
// Reports the encoder's block size and samples per block.
bool encodeS16(AVCodecID codecId, int sampleRate, int channels, const std::vector<qint16> &samples,
               const std::function<bool(AVPacket *)> &onPacket, int *blockAlign,
               int *framesPerBlock, QString *error,
               const std::function<void(AVCodecContext *)> &prepare = {},
               const std::function<bool(const AVCodecContext *)> &opened = {})
{
    const AVCodec *codec = avcodec_find_encoder(codecId);
    if (codec == nullptr) {
        setError(error, QStringLiteral("no encoder for %1").arg(avcodec_get_name(codecId)));
        return false;
    }
    CodecContextPtr ctx(avcodec_alloc_context3(codec));
    if (!ctx) {
        setError(error, QStringLiteral("out of memory"));
        return false;
    }
    ctx->sample_rate = sampleRate;
    av_channel_layout_default(&ctx->ch_layout, channels);
    ctx->sample_fmt = codec->sample_fmts != nullptr ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    ctx->time_base = AVRational{1, sampleRate};
    if (prepare) {
        prepare(ctx.get());
    }
    if (ctx->sample_fmt != AV_SAMPLE_FMT_S16 && ctx->sample_fmt != AV_SAMPLE_FMT_S16P) {
        setError(error, QStringLiteral("%1 does not take 16-bit samples").arg(codec->name));
        return false;
    }
    if (int rc = avcodec_open2(ctx.get(), codec, nullptr); rc < 0) {
        setError(error, QStringLiteral("cannot open %1: %2").arg(codec->name, ffmpegErrorText(rc)));
        return false;
    }
    if (opened && !opened(ctx.get())) {
        return false;
    }
    const bool planar = ctx->sample_fmt == AV_SAMPLE_FMT_S16P;
    const bool smallLastFrame = (codec->capabilities & (AV_CODEC_CAP_SMALL_LAST_FRAME |
                                                        AV_CODEC_CAP_VARIABLE_FRAME_SIZE)) != 0;
    const int frameSize = ctx->frame_size > 0 ? ctx->frame_size : 1024;
    if (blockAlign != nullptr) {
        *blockAlign = ctx->block_align;
    }
    if (framesPerBlock != nullptr) {
        *framesPerBlock = ctx->frame_size > 0 ? ctx->frame_size : 1;
    }

    FramePtr frame(av_frame_alloc());
    PacketPtr packet(av_packet_alloc());
    if (!frame || !packet) {
        setError(error, QStringLiteral("out of memory"));
        return false;
    }
    frame->format = ctx->sample_fmt;
    frame->sample_rate = sampleRate;
    frame->nb_samples = frameSize;
    av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout);
    if (int rc = av_frame_get_buffer(frame.get(), 0); rc < 0) {
        setError(error, ffmpegErrorText(rc));
        return false;
    }

    auto drain = [&]() {
        for (;;) {
            const int rc = avcodec_receive_packet(ctx.get(), packet.get());
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) {
                return true;
            }
            if (rc < 0) {
                setError(error, QStringLiteral("encoding failed: %1").arg(ffmpegErrorText(rc)));
                return false;
            }
            const bool ok = onPacket(packet.get());
            av_packet_unref(packet.get());
            if (!ok) {
                return false;
            }
        }
    };

    const std::int64_t total = std::int64_t(samples.size()) / channels;
    for (std::int64_t start = 0; start < total; start += frameSize) {
        const int count = int(std::min<std::int64_t>(frameSize, total - start));
        if (int rc = av_frame_make_writable(frame.get()); rc < 0) {
            setError(error, ffmpegErrorText(rc));
            return false;
        }
        // An encoder that needs whole frames gets the last one padded with silence.
        const int used = (count < frameSize && !smallLastFrame) ? frameSize : count;
        frame->nb_samples = used;
        for (int i = 0; i < used; ++i) {
            for (int c = 0; c < channels; ++c) {
                const qint16 value =
                    i < count ? samples[std::size_t((start + i) * channels + c)] : qint16(0);
                if (planar) {
                    reinterpret_cast<qint16 *>(frame->extended_data[c])[i] = value;
                } else {
                    reinterpret_cast<qint16 *>(frame->extended_data[0])[i * channels + c] = value;
                }
            }
        }
        frame->pts = start;
        if (int rc = avcodec_send_frame(ctx.get(), frame.get()); rc < 0) {
            setError(error, QStringLiteral("encoding failed: %1").arg(ffmpegErrorText(rc)));
            return false;
        }
        if (!drain()) {
            return false;
        }
    }
    avcodec_send_frame(ctx.get(), nullptr);
    return drain();
}

std::vector<qint16> samples16(const WavOptions &options)
{
    std::vector<qint16> samples(std::size_t(options.frames * options.channels));
    for (std::int64_t f = 0; f < options.frames; ++f) {
        for (int c = 0; c < options.channels; ++c) {
            samples[std::size_t(f * options.channels + c)] =
                qint16(integerSample(options, f, c, 16));
        }
    }
    return samples;
}

QByteArray pcmPayload(const WavOptions &options)
{
    const int bytes = bitsPerSample(options.encoding) / 8;
    QByteArray out;
    out.reserve(qsizetype(options.frames * options.channels * bytes));
    for (std::int64_t f = 0; f < options.frames; ++f) {
        for (int c = 0; c < options.channels; ++c) {
            if (options.encoding == WavEncoding::Float32) {
                const auto value = float(WavWriter::sampleValue(options, f, c));
                char raw[4];
                qToLittleEndian(std::bit_cast<quint32>(value), raw);
                out.append(raw, 4);
                continue;
            }
            std::int64_t value = integerSample(options, f, c, bytes * 8);
            if (bytes == 1) {
                value += 128; // 8-bit WAVE data is unsigned
            }
            const auto bits = quint32(value);
            for (int b = 0; b < bytes; ++b) {
                out.append(char((bits >> (8 * b)) & 0xFF));
            }
        }
    }
    return out;
}

} // namespace

WavSignal WavWriter::effectiveSignal(const WavOptions &options)
{
    if (options.signal != WavSignal::Default) {
        return options.signal;
    }
    return isLossy(options.encoding) ? WavSignal::Sine : WavSignal::Ramp;
}

double WavWriter::sampleValue(const WavOptions &options, std::int64_t frame, int channel)
{
    if (effectiveSignal(options) == WavSignal::Sine) {
        const double phase =
            2.0 * std::numbers::pi * kSineFrequency * double(frame) / double(options.sampleRate) +
            double(channel) * std::numbers::pi / 2.0;
        return kSineAmplitude * std::sin(phase);
    }
    // The ramp of the encoding's own resolution; 16-bit for float and the lossy encodings.
    int bits = bitsPerSample(options.encoding);
    if (options.encoding == WavEncoding::Float32 || isLossy(options.encoding)) {
        bits = 16;
    }
    return double(integerSample(options, frame, channel, bits)) /
           double(std::int64_t{1} << (bits - 1));
}

double WavWriter::tolerance(WavEncoding encoding)
{
    // Ramps decode exactly (up to float rounding); sines carry the quantisation of the encoding.
    switch (encoding) {
    case WavEncoding::Pcm8:
        return 1.0 / 128.0;
    case WavEncoding::Pcm16:
        return 1.0 / 32768.0;
    case WavEncoding::Pcm24:
    case WavEncoding::Pcm32:
    case WavEncoding::Float32:
        return 1e-6;
    case WavEncoding::MuLaw:
    case WavEncoding::ALaw:
        return 0.02;
    case WavEncoding::ImaAdpcm:
        return 0.04;
    }
    return 0.0;
}

std::int64_t WavWriter::settlingFrames(WavEncoding encoding)
{
    // IMA ADPCM starts at the smallest step size and needs a dozen samples to catch up with a
    // full-scale signal; later blocks carry the adapted step in their headers.
    return encoding == WavEncoding::ImaAdpcm ? 32 : 0;
}

std::optional<WrittenWav> WavWriter::write(const QString &path, const WavOptions &options,
                                           QString *error)
{
    if (options.channels < 1 || options.channels > 65535 || options.sampleRate < 1 ||
        options.frames < 0) {
        setError(error, QStringLiteral("bad options"));
        return std::nullopt;
    }
    const bool pcmLike = !isLossy(options.encoding);
    if ((options.extensible || options.sparseData) && !pcmLike) {
        setError(error, QStringLiteral("extensible headers and sparse data are for PCM only"));
        return std::nullopt;
    }

    WrittenWav written;
    written.frames = options.frames;
    const int bits = bitsPerSample(options.encoding);
    QByteArray payload;
    quint16 tag = kTagPcm;
    switch (options.encoding) {
    case WavEncoding::Float32:
        tag = kTagFloat;
        break;
    case WavEncoding::MuLaw:
        tag = kTagMuLaw;
        break;
    case WavEncoding::ALaw:
        tag = kTagALaw;
        break;
    case WavEncoding::ImaAdpcm:
        tag = kTagImaAdpcm;
        break;
    default:
        break;
    }

    if (pcmLike) {
        written.blockAlign = options.channels * bits / 8;
        if (!options.sparseData) {
            payload = pcmPayload(options);
        }
    } else {
        AVCodecID codecId = AV_CODEC_ID_ADPCM_IMA_WAV;
        if (options.encoding == WavEncoding::MuLaw) {
            codecId = AV_CODEC_ID_PCM_MULAW;
        } else if (options.encoding == WavEncoding::ALaw) {
            codecId = AV_CODEC_ID_PCM_ALAW;
        }
        const auto collect = [&payload](AVPacket *packet) {
            payload.append(reinterpret_cast<const char *>(packet->data), packet->size);
            return true;
        };
        if (!encodeS16(codecId, options.sampleRate, options.channels, samples16(options), collect,
                       &written.blockAlign, &written.framesPerBlock, error)) {
            return std::nullopt;
        }
        if (options.encoding != WavEncoding::ImaAdpcm) {
            written.blockAlign = options.channels;
            written.framesPerBlock = 1;
        }
    }
    const qint64 dataBytes =
        options.sparseData ? options.frames * written.blockAlign : qint64(payload.size());
    written.dataBytes = dataBytes;

    QByteArray fmt;
    appendLe16(fmt, options.extensible ? kTagExtensible : tag);
    appendLe16(fmt, quint16(options.channels));
    appendLe32(fmt, quint32(options.sampleRate));
    appendLe32(fmt, quint32(qint64(options.sampleRate) * written.blockAlign /
                            std::max(written.framesPerBlock, 1)));
    appendLe16(fmt, quint16(written.blockAlign));
    appendLe16(fmt, quint16(bits));
    if (options.extensible) {
        appendLe16(fmt, 22);
        appendLe16(fmt, quint16(bits));
        appendLe32(fmt, channelMask(options.channels));
        appendLe32(fmt, tag); // the sub-format GUID starts with the plain format tag
        fmt.append("\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 12);
    } else if (tag == kTagImaAdpcm) {
        appendLe16(fmt, 2);
        appendLe16(fmt, quint16(written.framesPerBlock));
    } else if (tag != kTagPcm) {
        appendLe16(fmt, 0);
    }

    QByteArray head("RIFF\0\0\0\0WAVE", 12);
    appendChunk(head, "fmt ", fmt);
    if (tag != kTagPcm || options.factChunk) {
        QByteArray fact;
        appendLe32(fact, quint32(options.frames));
        appendChunk(head, "fact", fact);
    }
    if (options.chunksBeforeData) {
        appendChunk(head, "LIST", infoList());
        appendChunk(head, "JUNK", QByteArray(13, '\0')); // odd size: exercises the pad byte
    }
    head.append("data", 4);
    appendLe32(head, options.dataSizeField.value_or(quint32(dataBytes)));
    written.dataOffset = head.size();

    QByteArray tail;
    if (dataBytes % 2 != 0) {
        tail.append('\0');
    }
    if (options.chunksAfterData && !options.sparseData) {
        appendChunk(tail, "LIST", infoList());
    }
    written.fileSize = head.size() + dataBytes + tail.size();
    const quint32 riffSize = options.riffSizeField.value_or(quint32(written.fileSize - 8));
    qToLittleEndian(riffSize, head.data() + 4);

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        setError(error, file.errorString());
        return std::nullopt;
    }
    bool ok = file.write(head) == head.size();
    if (options.sparseData) {
        ok = ok && file.resize(written.fileSize);
    } else {
        ok = ok && file.write(payload) == payload.size() && file.write(tail) == tail.size();
    }
    if (!ok) {
        setError(error, file.errorString());
        return std::nullopt;
    }
    return written;
}

bool WavWriter::writeFlac(const QString &path, int sampleRate, int channels, std::int64_t frames,
                          QString *error)
{
    WavOptions ramp;
    ramp.encoding = WavEncoding::Pcm16;
    ramp.sampleRate = sampleRate;
    ramp.channels = channels;
    ramp.frames = frames;

    AVFormatContext *raw = nullptr;
    const QByteArray name = QFile::encodeName(path);
    if (int rc = avformat_alloc_output_context2(&raw, nullptr, "flac", name.constData()); rc < 0) {
        setError(error, ffmpegErrorText(rc));
        return false;
    }
    OutputFormatContextPtr muxer(raw);
    AVStream *stream = avformat_new_stream(muxer.get(), nullptr);
    if (stream == nullptr) {
        setError(error, QStringLiteral("out of memory"));
        return false;
    }
    stream->time_base = AVRational{1, sampleRate};

    const auto prepare = [&](AVCodecContext *ctx) {
        if ((muxer->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
            ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
    };
    AVRational codecTimeBase{1, sampleRate};
    // The stream header needs the opened encoder's parameters (FLAC's STREAMINFO).
    const auto opened = [&](const AVCodecContext *ctx) {
        codecTimeBase = ctx->time_base;
        int rc = avcodec_parameters_from_context(stream->codecpar, ctx);
        if (rc >= 0) {
            rc = avio_open(&muxer->pb, name.constData(), AVIO_FLAG_WRITE);
        }
        if (rc >= 0) {
            rc = avformat_write_header(muxer.get(), nullptr);
        }
        if (rc < 0) {
            setError(error, ffmpegErrorText(rc));
        }
        return rc >= 0;
    };
    const auto writePacket = [&](AVPacket *packet) {
        packet->stream_index = stream->index;
        av_packet_rescale_ts(packet, codecTimeBase, stream->time_base);
        const int rc = av_interleaved_write_frame(muxer.get(), packet);
        if (rc < 0) {
            setError(error, ffmpegErrorText(rc));
        }
        return rc >= 0;
    };
    if (!encodeS16(AV_CODEC_ID_FLAC, sampleRate, channels, samples16(ramp), writePacket, nullptr,
                   nullptr, error, prepare, opened)) {
        return false;
    }
    if (int rc = av_write_trailer(muxer.get()); rc < 0) {
        setError(error, ffmpegErrorText(rc));
        return false;
    }
    return true;
}

bool WavWriter::writeText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        return false;
    }
    QByteArray text;
    for (int line = 0; line < 200; ++line) {
        text += "Line " + QByteArray::number(line) +
                ": plain text, which no sound device should try to play.\n";
    }
    return file.write(text) == text.size();
}

bool WavWriter::writePicture(const QString &path, const char *format)
{
    if (qstrcmp(format, "GIF") == 0) {
        // 1x1 GIF89a: header, logical screen with a 2-entry global colour table, one image with
        // LZW minimum code size 2 whose data is clear, index 0, end of information.
        static const unsigned char kGif[] = {
            'G',  'I',  'F',  '8',  '9',  'a',              // signature and version
            0x01, 0x00, 0x01, 0x00, 0x80, 0x00, 0x00,       // 1x1 screen, 2-colour global table
            0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF,             // red, blue
            0x2C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, // image at 0,0, 1x1,
            0x00,                                           // no local colour table
            0x02, 0x02, 0x44, 0x01, 0x00,                   // LZW size 2: clear, 0, end
            0x3B};                                          // trailer
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(reinterpret_cast<const char *>(kGif), sizeof kGif) == sizeof kGif;
    }
    QImage image(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            image.setPixelColor(x, y, QColor(x * 4, y * 5, (x + y) * 2));
        }
    }
    return image.save(path, format);
}

bool WavWriter::writeRandomBytes(const QString &path, qint64 size, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray bytes(qsizetype(size), '\0');
    for (auto &byte : bytes) {
        byte = char(generator.bounded(256));
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

bool WavWriter::truncate(const QString &path, qint64 newSize)
{
    QFile file(path);
    return file.resize(newSize);
}

bool WavWriter::overwrite(const QString &path, qint64 offset, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.seek(offset) &&
           file.write(bytes) == bytes.size();
}

} // namespace zyr::test
