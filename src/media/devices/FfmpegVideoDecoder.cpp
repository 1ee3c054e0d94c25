#include "media/devices/FfmpegVideoDecoder.h"

#include "media/devices/FfmpegErrors.h"
#include "media/devices/FfmpegInput.h"

extern "C" {
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libavutil/pixdesc.h>
}

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <utility>

namespace zyr::media {

namespace {

// The largest picture decoded on one thread: full HD (1080 lines are coded as 1088).
constexpr std::int64_t kOneThreadMaxPixels = 1920 * 1088;

// A RIFF size may claim this many bytes beyond the end of the file: the pad byte after an
// odd-sized last chunk, which some writers count but do not write.
constexpr qint64 kRiffSizeSlack = 1;
// Sizes left by writers that stream or crashed before patching the header: no claim at all.
constexpr quint32 kStreamingSizeZero = 0;
constexpr quint32 kStreamingSizeMax = 0xFFFFFFFFu;

// Rates above this are timestamps in disguise (a millisecond time base read as a rate).
constexpr double kMaxFrameRate = 1000.0;
constexpr AVRational kFallbackFrameRate{25, 1};
// The smallest room a picture takes in an AVI file: the header of its chunk.
constexpr std::int64_t kAviChunkHeaderBytes = 8;
// A sample aspect ratio further from square than this is a broken header, not a real pixel.
constexpr double kMaxPixelStretch = 8.0;

// Seek targets beyond this (in milliseconds or frames, some 35 years) mean "the end"; the
// limit keeps the timestamp arithmetic far from overflowing.
constexpr std::int64_t kFarthestSeek = std::int64_t{1} << 40;

// Container seeks one seek may take when they land after the target: each steps back twice
// as far as the one before, from one second; the last goes back to the start of the stream.
constexpr int kSeekAttempts = 8;

// Containers recognised from their first bytes. A file that starts like one of them is meant
// to be a movie, so a header FFmpeg cannot read is damage, not a foreign format.
enum class Container { Unknown, Avi, Matroska, IsoMedia };

struct Sniffed {
    Container container = Container::Unknown;
    // AVI only: the RIFF size claims more bytes than the file holds.
    bool truncated = false;
};

Sniffed sniff(const QByteArray &head, qint64 fileSize)
{
    Sniffed result;
    if (head.size() >= 12 && head.startsWith("RIFF") && head.mid(8, 4) == "AVI ") {
        result.container = Container::Avi;
        const quint32 riffSize = qFromLittleEndian<quint32>(head.constData() + 4);
        result.truncated = riffSize != kStreamingSizeZero && riffSize != kStreamingSizeMax &&
                           qint64(riffSize) + 8 > fileSize + kRiffSizeSlack;
    } else if (head.startsWith("\x1a\x45\xdf\xa3")) {
        result.container = Container::Matroska;
    } else if (head.size() >= 8 && (head.mid(4, 4) == "ftyp" || head.mid(4, 4) == "moov")) {
        result.container = Container::IsoMedia;
    }
    return result;
}

bool nameIsOneOf(const QByteArray &name, std::initializer_list<const char *> names)
{
    return std::any_of(names.begin(), names.end(),
                       [&name](const char *candidate) { return name == candidate; });
}

// Demuxers that only ever deliver still pictures or numbered picture sequences. FFmpeg shows
// them as video, but they are not movies.
bool isPictureDemuxer(const char *name)
{
    const QByteArray demuxer(name);
    return demuxer.endsWith("_pipe") ||
           nameIsOneOf(demuxer, {"image2", "image2pipe", "ico", "alias_pix", "brender_pix"});
}

// Demuxers for picture formats that may or may not move: a GIF, an APNG or a raw JPEG stream
// with one frame is a still picture, with several an animation.
bool isAnimatedPictureDemuxer(const char *name)
{
    return nameIsOneOf(QByteArray(name), {"gif", "apng", "mjpeg", "mpjpeg"});
}

// FFmpeg renders text files (by extension or by a SAUCE record) as ANSI art video.
bool isTextCodec(AVCodecID id)
{
    return id == AV_CODEC_ID_ANSI || id == AV_CODEC_ID_BINTEXT || id == AV_CODEC_ID_XBIN ||
           id == AV_CODEC_ID_IDF;
}

bool isStillStream(const AVStream *stream)
{
    return (stream->disposition & (AV_DISPOSITION_ATTACHED_PIC | AV_DISPOSITION_STILL_IMAGE)) != 0;
}

bool isValidRate(AVRational rate)
{
    return rate.num > 0 && rate.den > 0 && av_q2d(rate) <= kMaxFrameRate;
}

// The swscale matrix for a frame's colour space. Streams that state none get BT.601 up to
// standard definition and BT.709 for HD sizes, as players commonly assume.
int swsColorSpace(const AVFrame &frame)
{
    switch (frame.colorspace) {
    case AVCOL_SPC_BT709:
        return SWS_CS_ITU709;
    case AVCOL_SPC_FCC:
        return SWS_CS_FCC;
    case AVCOL_SPC_SMPTE240M:
        return SWS_CS_SMPTE240M;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return SWS_CS_BT2020;
    case AVCOL_SPC_UNSPECIFIED:
        return frame.height >= 720 ? SWS_CS_ITU709 : SWS_CS_DEFAULT;
    default:
        return SWS_CS_DEFAULT;
    }
}

bool isFullRangeYuv(const AVFrame &frame)
{
    if (frame.color_range == AVCOL_RANGE_JPEG) {
        return true;
    }
    // The deprecated "J" formats are full range whatever the frame says.
    switch (frame.format) {
    case AV_PIX_FMT_YUVJ411P:
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ440P:
    case AV_PIX_FMT_YUVJ444P:
        return true;
    default:
        return false;
    }
}

// The display size: the width scaled by the sample aspect ratio to the nearest even number,
// the height kept.
QSize displaySizeFor(QSize coded, AVRational sampleAspect)
{
    if (sampleAspect.num <= 0 || sampleAspect.den <= 0 || sampleAspect.num == sampleAspect.den) {
        return coded;
    }
    const double stretch = av_q2d(sampleAspect);
    if (stretch > kMaxPixelStretch || stretch < 1.0 / kMaxPixelStretch) {
        return coded;
    }
    const std::int64_t twice = std::int64_t(coded.width()) * sampleAspect.num;
    const std::int64_t halfWidth =
        (twice + sampleAspect.den) / (2 * std::int64_t(sampleAspect.den));
    return QSize(int(std::max<std::int64_t>(halfWidth * 2, 2)), coded.height());
}

} // namespace

FfmpegVideoDecoder::~FfmpegVideoDecoder() = default;

Result<std::unique_ptr<FfmpegVideoDecoder>> FfmpegVideoDecoder::open(const QString &path)
{
    if (const Result<void> checked = checkMediaFile(path, QStringLiteral("movie file"));
        !checked.ok()) {
        return checked.error();
    }
    const QString name = QFileInfo(path).fileName();

    Sniffed sniffed;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            return makeError(ErrorKind::FileUnreadable,
                             QStringLiteral("The file %1 cannot be read: %2")
                                 .arg(quoted(name), file.errorString()));
        }
        sniffed = sniff(file.read(12), file.size());
    }
    const bool recognised = sniffed.container != Container::Unknown;

    std::unique_ptr<FfmpegVideoDecoder> decoder(new FfmpegVideoDecoder);
    decoder->m_fileName = name;
    decoder->m_truncated = sniffed.truncated;

    Result<InputFormatContextPtr> opened =
        openLocalInput(path, recognised, QStringLiteral("movie"));
    if (!opened.ok()) {
        return opened.error();
    }
    decoder->m_format = std::move(opened).value();
    int rc = 0;
    AVFormatContext *const fmt = decoder->m_format.get();

    // FFmpeg settles for a weak guess when nothing matches well; random bytes can look like a
    // stream of some raw format. A guess at or below the retry score is not an identification.
    if (!recognised && fmt->probe_score <= AVPROBE_SCORE_RETRY) {
        return makeError(ErrorKind::UnsupportedFormat,
                         QStringLiteral("The file %1 is not in a movie format this program knows.")
                             .arg(quoted(name)));
    }
    const QString notAMovie = QStringLiteral("The file %1 is a picture, not a movie.");
    if (isPictureDemuxer(fmt->iformat->name)) {
        return makeError(ErrorKind::UnsupportedFormat, notAMovie.arg(quoted(name)));
    }
    // Codec parameters (the pixel format above all) and durations may need packets read. This
    // reads a bounded amount, never the file.
    rc = avformat_find_stream_info(fmt, nullptr);
    if (rc < 0) {
        return makeError(ErrorKind::CorruptMedia, QStringLiteral("The movie file %1 is damaged: %2")
                                                      .arg(quoted(name), ffmpegErrorText(rc)));
    }
    if (recognised && fmt->nb_streams == 0) {
        // A movie container always describes at least one stream; none means its header list
        // is unreadable.
        return makeError(ErrorKind::CorruptMedia,
                         QStringLiteral("The movie file %1 is damaged: it describes no streams.")
                             .arg(quoted(name)));
    }
    decoder->m_hasAudio = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0) >= 0;

    const AVCodec *codec = nullptr;
    rc = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    bool onlyStills = false;
    if (rc >= 0 && isStillStream(fmt->streams[rc])) {
        // FFmpeg ranks cover art below moving video but still returns it when there is nothing
        // else; look for a moving stream with a decoder that it passed over.
        onlyStills = true;
        rc = AVERROR_STREAM_NOT_FOUND;
        codec = nullptr;
        for (unsigned i = 0; i < fmt->nb_streams; ++i) {
            const AVStream *candidate = fmt->streams[i];
            if (candidate->codecpar->codec_type != AVMEDIA_TYPE_VIDEO || isStillStream(candidate)) {
                continue;
            }
            if (const AVCodec *found = avcodec_find_decoder(candidate->codecpar->codec_id)) {
                rc = int(i);
                codec = found;
                onlyStills = false;
                break;
            }
        }
    }
    if (onlyStills) {
        return makeError(ErrorKind::UnsupportedFormat,
                         QStringLiteral("The file %1 holds only a still picture, not a movie.")
                             .arg(quoted(name)));
    }
    if (rc == AVERROR_DECODER_NOT_FOUND) {
        return makeError(ErrorKind::UnsupportedFormat,
                         QStringLiteral("The video in %1 is stored in an encoding this program "
                                        "cannot play.")
                             .arg(quoted(name)));
    }
    if (rc < 0) {
        return makeError(ErrorKind::UnsupportedFormat,
                         QStringLiteral("The file %1 contains no video.").arg(quoted(name)));
    }
    decoder->m_streamIndex = rc;
    AVStream *const stream = fmt->streams[rc];
    if (isTextCodec(stream->codecpar->codec_id)) {
        return makeError(ErrorKind::UnsupportedFormat,
                         QStringLiteral("The file %1 is text, not a movie.").arg(quoted(name)));
    }
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        if (int(i) != decoder->m_streamIndex) {
            fmt->streams[i]->discard = AVDISCARD_ALL;
        }
    }

    decoder->m_codec.reset(avcodec_alloc_context3(codec));
    if (!decoder->m_codec) {
        return makeError(ErrorKind::Internal, QStringLiteral("Out of memory opening a decoder."));
    }
    AVCodecContext *const ctx = decoder->m_codec.get();
    rc = avcodec_parameters_to_context(ctx, stream->codecpar);
    if (rc >= 0) {
        ctx->pkt_timebase = stream->time_base;
        // Up to full HD one thread decodes in real time with room to spare, and it is the
        // cheapest: frame threads cost CPU to hand pictures between them (MPEG-4 at 640x480
        // takes about twice the CPU with two). Larger pictures get one thread per core, of
        // whichever kinds the codec supports.
        ctx->thread_count = std::int64_t(ctx->width) * ctx->height <= kOneThreadMaxPixels ? 1 : 0;
        ctx->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        rc = avcodec_open2(ctx, codec, nullptr);
    }
    if (rc < 0) {
        return makeError(ErrorKind::CorruptMedia, QStringLiteral("The video in %1 cannot be "
                                                                 "decoded: %2")
                                                      .arg(quoted(name), ffmpegErrorText(rc)));
    }
    if (ctx->width <= 0 || ctx->height <= 0) {
        return makeError(ErrorKind::CorruptMedia,
                         QStringLiteral("The movie file %1 is damaged: it gives no picture size.")
                             .arg(quoted(name)));
    }
    decoder->m_codedSize = QSize(ctx->width, ctx->height);

    // Timing. The rate is reduced so that twice its numerator still fits an int (see
    // seekTimestampFor()).
    decoder->m_timeBase = stream->time_base;
    decoder->m_startTimestamp = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    AVRational rate = av_guess_frame_rate(fmt, stream, nullptr);
    if (!isValidRate(rate)) {
        rate = kFallbackFrameRate;
    }
    av_reduce(&rate.num, &rate.den, rate.num, rate.den, INT_MAX / 2);
    decoder->m_frameRate = rate;
    const AVRational frameSlot = av_inv_q(rate);
    const AVRational millisecond{1, 1000};
    if (stream->nb_frames > 0) {
        decoder->m_frameCount = stream->nb_frames;
    } else if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
        decoder->m_frameCount =
            av_rescale_q_rnd(stream->duration, stream->time_base, frameSlot, AV_ROUND_NEAR_INF);
    } else if (fmt->duration != AV_NOPTS_VALUE && fmt->duration > 0) {
        decoder->m_frameCount =
            av_rescale_q_rnd(fmt->duration, AV_TIME_BASE_Q, frameSlot, AV_ROUND_NEAR_INF);
    }
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
        decoder->m_lengthMs =
            av_rescale_q_rnd(stream->duration, stream->time_base, millisecond, AV_ROUND_NEAR_INF);
    } else if (fmt->duration != AV_NOPTS_VALUE && fmt->duration > 0) {
        decoder->m_lengthMs =
            av_rescale_q_rnd(fmt->duration, AV_TIME_BASE_Q, millisecond, AV_ROUND_NEAR_INF);
    } else if (decoder->m_frameCount > 0) {
        decoder->m_lengthMs =
            av_rescale_q_rnd(decoder->m_frameCount, frameSlot, millisecond, AV_ROUND_NEAR_INF);
    }
    // An AVI stores every picture in a chunk of its own, at least an 8-byte chunk header even for
    // a dropped one, so a header that claims more pictures than the file has room for lies: the
    // movie is not longer than the file can hold.
    const std::int64_t fileBytes = fmt->pb ? avio_size(fmt->pb) : -1;
    if (std::strcmp(fmt->iformat->name, "avi") == 0 && fileBytes > 0 &&
        decoder->m_frameCount > fileBytes / kAviChunkHeaderBytes) {
        decoder->m_frameCount = fileBytes / kAviChunkHeaderBytes;
        decoder->m_lengthMs =
            std::min(decoder->m_lengthMs, av_rescale_q_rnd(decoder->m_frameCount, frameSlot,
                                                           millisecond, AV_ROUND_NEAR_INF));
    }

    decoder->m_packet.reset(av_packet_alloc());
    if (!decoder->m_packet) {
        return makeError(ErrorKind::Internal, QStringLiteral("Out of memory opening a decoder."));
    }

    // Decoding the first picture now makes a broken codec header fail here, while the user is
    // still looking at the open dialog, rather than as a blank window once playback starts.
    auto first = decoder->newPicture();
    if (!first) {
        return first.error();
    }
    auto decoded = decoder->decodeInto(first.value());
    const bool pictureFormat = isAnimatedPictureDemuxer(fmt->iformat->name);
    if (pictureFormat && (!decoded || !decoded.value())) {
        // Not even one picture: whatever is wrong with it, it is no movie.
        return makeError(ErrorKind::UnsupportedFormat, notAMovie.arg(quoted(name)));
    }
    if (!decoded) {
        return makeError(decoded.error().kind == ErrorKind::FileUnreadable
                             ? ErrorKind::FileUnreadable
                             : ErrorKind::CorruptMedia,
                         decoded.error().message);
    }
    if (!decoded.value()) {
        return makeError(
            ErrorKind::CorruptMedia,
            QStringLiteral("The movie file %1 contains no pictures.").arg(quoted(name)));
    }
    const AVRational sampleAspect =
        av_guess_sample_aspect_ratio(fmt, stream, first.value().frame.get());
    decoder->m_displaySize = displaySizeFor(decoder->m_codedSize, sampleAspect);
    decoder->m_queue.push_back(std::move(first.value()));

    if (pictureFormat) {
        // A picture format: it is a movie only if a second frame follows.
        auto second = decoder->newPicture();
        if (!second) {
            return second.error();
        }
        auto more = decoder->decodeInto(second.value());
        if (more && !more.value()) {
            return makeError(ErrorKind::UnsupportedFormat, notAMovie.arg(quoted(name)));
        }
        if (more) {
            decoder->m_queue.push_back(std::move(second.value()));
        } else {
            // The first frame plays; the damage is reported where it is.
            decoder->m_failed = true;
            decoder->m_error = more.error();
        }
    }
    return decoder;
}

double FfmpegVideoDecoder::frameRate() const
{
    return av_q2d(m_frameRate);
}

QString FfmpegVideoDecoder::codecName() const
{
    return QString::fromLatin1(avcodec_get_name(m_codec->codec_id));
}

QString FfmpegVideoDecoder::containerName() const
{
    return QString::fromLatin1(m_format->iformat->name);
}

Result<FfmpegVideoDecoder::Picture> FfmpegVideoDecoder::newPicture() const
{
    Picture picture;
    picture.frame.reset(av_frame_alloc());
    if (!picture.frame) {
        return makeError(ErrorKind::Internal, QStringLiteral("Out of memory decoding a picture."));
    }
    return picture;
}

MediaError FfmpegVideoDecoder::readError(int errorCode, const char *what) const
{
    const ErrorKind kind =
        isIoError(errorCode) ? ErrorKind::FileUnreadable : ErrorKind::CorruptMedia;
    return makeError(kind,
                     QStringLiteral("The movie file %1 could not be %2: %3")
                         .arg(quoted(m_fileName), QLatin1String(what), ffmpegErrorText(errorCode)));
}

void FfmpegVideoDecoder::stamp(Picture &picture)
{
    const std::int64_t timestamp = picture.frame->best_effort_timestamp;
    if (timestamp != AV_NOPTS_VALUE) {
        const std::int64_t relative = timestamp - m_startTimestamp;
        picture.ptsMs =
            av_rescale_q_rnd(relative, m_timeBase, AVRational{1, 1000}, AV_ROUND_NEAR_INF);
        picture.index =
            av_rescale_q_rnd(relative, m_timeBase, av_inv_q(m_frameRate), AV_ROUND_NEAR_INF);
    } else {
        picture.index = m_lastIndex + 1;
        picture.ptsMs = av_rescale_q_rnd(picture.index, av_inv_q(m_frameRate), AVRational{1, 1000},
                                         AV_ROUND_NEAR_INF);
    }
    m_lastIndex = picture.index;
}

Result<bool> FfmpegVideoDecoder::decodeInto(Picture &out)
{
    AVCodecContext *const ctx = m_codec.get();
    const Result<bool> got =
        receiveFrame(m_format.get(), ctx, m_packet.get(), m_streamIndex, out.frame.get(), m_decode,
                     [this](int rc, const char *what) { return readError(rc, what); });
    if (!got.ok() || !got.value())
        return got;
    stamp(out);
    return true;
}

Result<bool> FfmpegVideoDecoder::advance()
{
    if (!m_queue.empty()) {
        m_current = std::move(m_queue.front());
        m_queue.pop_front();
        return true;
    }
    if (!m_current.frame) {
        auto picture = newPicture();
        if (!picture) {
            return picture.error();
        }
        m_current = std::move(picture.value());
    }
    return decodeInto(m_current);
}

Result<bool> FfmpegVideoDecoder::advanceForCaller()
{
    // Pictures decoded before a failure are still handed out; the failure comes after them.
    if (m_failed && m_queue.empty()) {
        return m_error;
    }
    auto advanced = advance();
    if (!advanced) {
        m_failed = true;
        m_error = advanced.error();
        return m_error;
    }
    if (!advanced.value() && m_truncated) {
        m_failed = true;
        m_error = makeError(ErrorKind::CorruptMedia,
                            QStringLiteral("The movie file %1 ends early: it is truncated or "
                                           "damaged.")
                                .arg(quoted(m_fileName)));
        return m_error;
    }
    return advanced.value();
}

Result<std::optional<VideoFrame>> FfmpegVideoDecoder::next()
{
    auto advanced = advanceForCaller();
    if (!advanced) {
        return advanced.error();
    }
    if (!advanced.value()) {
        return std::optional<VideoFrame>();
    }
    auto image = convert(*m_current.frame);
    av_frame_unref(m_current.frame.get());
    if (!image) {
        m_failed = true;
        m_error = image.error();
        return m_error;
    }
    return std::optional<VideoFrame>(
        VideoFrame{m_current.ptsMs, m_current.index, std::move(image.value())});
}

Result<bool> FfmpegVideoDecoder::skip()
{
    auto advanced = advanceForCaller();
    if (advanced && advanced.value()) {
        av_frame_unref(m_current.frame.get());
    }
    return advanced;
}

Result<QImage> FfmpegVideoDecoder::convert(const AVFrame &frame)
{
    const int colorSpace = swsColorSpace(frame);
    const int colorRange = isFullRangeYuv(frame) ? 1 : 0;
    if (!m_sws || frame.width != m_swsWidth || frame.height != m_swsHeight ||
        frame.format != m_swsFormat || colorSpace != m_swsColorSpace ||
        colorRange != m_swsColorRange) {
        // Made again only when the source changes (a new stream size or format mid-file).
        SwsContextPtr sws(sws_getContext(
            frame.width, frame.height, AVPixelFormat(frame.format), m_displaySize.width(),
            m_displaySize.height(), AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr));
        if (!sws) {
            const char *formatName = av_get_pix_fmt_name(AVPixelFormat(frame.format));
            return makeError(ErrorKind::UnsupportedFormat,
                             QStringLiteral("The pictures in %1 (%2, %3x%4) cannot be converted "
                                            "for display.")
                                 .arg(quoted(m_fileName),
                                      QLatin1String(formatName != nullptr ? formatName : "?"))
                                 .arg(frame.width)
                                 .arg(frame.height));
        }
        const AVPixFmtDescriptor *descriptor = av_pix_fmt_desc_get(AVPixelFormat(frame.format));
        if (descriptor != nullptr && (descriptor->flags & AV_PIX_FMT_FLAG_RGB) == 0) {
            // YUV in: pick the matrix and range; RGB out is always full range.
            const int *coefficients = sws_getCoefficients(colorSpace);
            sws_setColorspaceDetails(sws.get(), coefficients, colorRange,
                                     sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
        }
        m_sws = std::move(sws);
        m_swsWidth = frame.width;
        m_swsHeight = frame.height;
        m_swsFormat = frame.format;
        m_swsColorSpace = colorSpace;
        m_swsColorRange = colorRange;
    }

    QImage image(m_displaySize, QImage::Format_RGB32);
    if (image.isNull()) {
        return makeError(ErrorKind::Internal,
                         QStringLiteral("Out of memory for a picture of %1x%2.")
                             .arg(m_displaySize.width())
                             .arg(m_displaySize.height()));
    }
    std::uint8_t *const destination[4] = {image.bits(), nullptr, nullptr, nullptr};
    const int destinationStride[4] = {int(image.bytesPerLine()), 0, 0, 0};
    const int rows = sws_scale(m_sws.get(), frame.data, frame.linesize, 0, frame.height,
                               destination, destinationStride);
    if (rows <= 0) {
        return makeError(ErrorKind::Internal,
                         QStringLiteral("Converting a picture of %1 failed: %2")
                             .arg(quoted(m_fileName), ffmpegErrorText(rows)));
    }
    return image;
}

std::int64_t FfmpegVideoDecoder::keyOf(const Picture &picture, SeekTarget target) const
{
    return target.byIndex ? picture.index : picture.ptsMs;
}

std::int64_t FfmpegVideoDecoder::seekTimestampFor(SeekTarget target) const
{
    // Positions round to the nearest, so a picture still counts as at or before the target up
    // to half a millisecond (or half a frame slot) after it. The last stream timestamp strictly
    // before that half-way point is where the picture after the target cannot be: a backward
    // seek there lands on the keyframe at or before the target picture.
    const AVRational halfUnit =
        target.byIndex ? AVRational{m_frameRate.den, 2 * m_frameRate.num} : AVRational{1, 2000};
    const std::int64_t relative =
        av_rescale_q_rnd(2 * target.value + 1, halfUnit, m_timeBase, AV_ROUND_UP) - 1;
    return m_startTimestamp + std::max<std::int64_t>(relative, 0);
}

Result<void> FfmpegVideoDecoder::containerSeek(std::int64_t timestamp)
{
    AVFormatContext *const fmt = m_format.get();
    int rc = av_seek_frame(fmt, m_streamIndex, timestamp, AVSEEK_FLAG_BACKWARD);
    if (rc < 0) {
        // Nothing at or before the timestamp in the index (a stream whose first keyframe comes
        // after its start time): take the keyframe nearest to it.
        rc = avformat_seek_file(fmt, m_streamIndex, INT64_MIN, timestamp, INT64_MAX, 0);
    }
    avcodec_flush_buffers(m_codec.get());
    m_decode.demuxerDone = false;
    m_decode.decoderDone = false;
    m_lastIndex = -1;
    if (rc < 0) {
        return readError(rc, "positioned");
    }
    return {};
}

Result<void> FfmpegVideoDecoder::seekTo(SeekTarget target)
{
    m_failed = false;
    m_error = MediaError{};
    m_queue.clear();
    const auto fail = [this](const MediaError &error) -> Result<void> {
        m_failed = true;
        m_error = error;
        return error;
    };

    auto first = newPicture();
    auto following = newPicture();
    if (!first || !following) {
        return fail(
            makeError(ErrorKind::Internal, QStringLiteral("Out of memory decoding a picture.")));
    }
    Picture candidate = std::move(first.value());
    Picture after = std::move(following.value());

    // Land on a keyframe at or before the target. Indexes of AVI, MP4 and Matroska are exact,
    // but containers without one (MPEG-TS, say) are searched by timestamp and may land after
    // the target, or on a picture that cannot be decoded without the ones before it; then the
    // seek steps further back, twice as far each time. The last try aims before the start of
    // the stream, where every demuxer lands on its first keyframe.
    std::int64_t timestamp = seekTimestampFor(target);
    std::int64_t stepBack =
        std::max<std::int64_t>(av_rescale_q(1, AVRational{1, 1}, m_timeBase), 1);
    for (int attempt = 0;; ++attempt) {
        const bool lastTry = timestamp < m_startTimestamp || attempt >= kSeekAttempts - 1;
        if (lastTry) {
            timestamp = std::min(timestamp, m_startTimestamp - stepBack);
        }
        if (auto sought = containerSeek(timestamp); !sought) {
            return fail(sought.error());
        }
        auto decoded = decodeInto(candidate);
        if (!decoded) {
            return fail(decoded.error());
        }
        if (decoded.value() && (lastTry || keyOf(candidate, target) <= target.value)) {
            break;
        }
        if (!decoded.value() && lastTry) {
            // Not a single picture from the start on: the stream stays at its end.
            return {};
        }
        const std::int64_t landed =
            decoded.value() && candidate.frame->best_effort_timestamp != AV_NOPTS_VALUE
                ? candidate.frame->best_effort_timestamp
                : timestamp;
        timestamp = std::min(timestamp, landed) - stepBack;
        stepBack *= 2;
    }

    // Decode forward, one picture ahead, until the one after the target shows up.
    for (;;) {
        auto decoded = decodeInto(after);
        if (!decoded) {
            // The target itself decoded; the failure comes after it.
            m_queue.push_back(std::move(candidate));
            m_failed = true;
            m_error = decoded.error();
            return {};
        }
        if (!decoded.value()) {
            m_queue.push_back(std::move(candidate));
            return {};
        }
        if (keyOf(after, target) > target.value) {
            m_queue.push_back(std::move(candidate));
            m_queue.push_back(std::move(after));
            return {};
        }
        std::swap(candidate, after);
    }
}

Result<void> FfmpegVideoDecoder::seekToMs(std::int64_t ms)
{
    if (ms < 0) {
        return makeError(ErrorKind::InvalidCommand,
                         QStringLiteral("Cannot seek to a position before the start."));
    }
    return seekTo(SeekTarget{false, std::min(ms, kFarthestSeek)});
}

Result<void> FfmpegVideoDecoder::seekToFrame(std::int64_t index)
{
    if (index < 0) {
        return makeError(ErrorKind::InvalidCommand,
                         QStringLiteral("Cannot seek to a frame before the first."));
    }
    return seekTo(SeekTarget{true, std::min(index, kFarthestSeek)});
}

} // namespace zyr::media
