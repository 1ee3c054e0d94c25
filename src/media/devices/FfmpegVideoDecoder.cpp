#include "media/devices/FfmpegVideoDecoder.h"

#include "media/devices/FfmpegErrors.h"
#include "media/devices/FfmpegInput.h"

extern "C" {
#include <libavutil/mathematics.h>
}

#include <algorithm>
#include <climits>
#include <utility>

namespace zyr::media {

namespace {

// The largest picture decoded on one thread: full HD (1080 lines are coded as 1088).
constexpr std::int64_t kOneThreadMaxPixels = 1920 * 1088;

// A sample aspect ratio further from square than this is a broken header, not a real pixel.
constexpr double kMaxPixelStretch = 8.0;

// Seek targets beyond this (in milliseconds or frames, some 35 years) mean "the end"; the
// limit keeps the timestamp arithmetic far from overflowing.
constexpr std::int64_t kFarthestSeek = std::int64_t{1} << 40;

// Container seeks one seek may take when they land after the target: each steps back twice
// as far as the one before, from one second; the last goes back to the start of the stream.
constexpr int kSeekAttempts = 8;

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

FfmpegVideoDecoder::FfmpegVideoDecoder(MovieInput input)
    : m_input(std::move(input)), m_converter(m_input.fileName), m_displaySize(m_input.codedSize)
{
}

FfmpegVideoDecoder::~FfmpegVideoDecoder() = default;

Result<std::unique_ptr<FfmpegVideoDecoder>> FfmpegVideoDecoder::open(const QString &path)
{
    Result<std::unique_ptr<FfmpegVideoDecoder>> decoder = openHeaders(path);
    if (!decoder) {
        return decoder;
    }
    if (Result<void> primed = decoder.value()->prime(); !primed) {
        return primed.error();
    }
    return decoder;
}

Result<std::unique_ptr<FfmpegVideoDecoder>> FfmpegVideoDecoder::openHeaders(const QString &path)
{
    Result<MovieInput> input = openMovieInput(path);
    if (!input) {
        return input.error();
    }
    std::unique_ptr<FfmpegVideoDecoder> decoder(new FfmpegVideoDecoder(std::move(input).value()));
    if (decoder->m_input.pictureFormat) {
        if (Result<void> primed = decoder->prime(); !primed) {
            return primed.error();
        }
    }
    return decoder;
}

Result<void> FfmpegVideoDecoder::prime()
{
    if (m_primed) {
        return {};
    }
    if (m_primeError) {
        return *m_primeError;
    }
    Result<void> primed = primeOnce();
    if (!primed) {
        m_primeError = primed.error();
        m_queue.clear();
        return primed;
    }
    m_primed = true;
    return {};
}

Result<void> FfmpegVideoDecoder::primeOnce()
{
    // Played from its start, an AVI is read on from its headers; its index waits for a seek,
    // or for pictures that lie far apart in the file.
    readOnFromHeaders(*m_input.format, m_decode, m_input.path, QStringLiteral("movie"));
    const AVStream *const stream = m_input.format->streams[m_input.streamIndex];
    m_codec.reset(avcodec_alloc_context3(m_input.codec));
    m_packet.reset(av_packet_alloc());
    if (!m_codec || !m_packet) {
        return makeError(ErrorKind::Internal, QStringLiteral("Out of memory opening a decoder."));
    }
    AVCodecContext *const ctx = m_codec.get();
    int rc = avcodec_parameters_to_context(ctx, stream->codecpar);
    if (rc >= 0) {
        ctx->pkt_timebase = stream->time_base;
        // Up to full HD one thread decodes in real time with room to spare, and it is the
        // cheapest: frame threads cost CPU to hand pictures between them (MPEG-4 at 640x480
        // takes about twice the CPU with two). Larger pictures get one thread per core, of
        // whichever kinds the codec supports.
        ctx->thread_count = std::int64_t(ctx->width) * ctx->height <= kOneThreadMaxPixels ? 1 : 0;
        ctx->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        rc = avcodec_open2(ctx, m_input.codec, nullptr);
    }
    if (rc < 0) {
        return makeError(ErrorKind::CorruptMedia,
                         QStringLiteral("The video in %1 cannot be decoded: %2")
                             .arg(quoted(m_input.fileName), ffmpegErrorText(rc)));
    }
    if (ctx->width > 0 && ctx->height > 0) {
        m_input.codedSize = QSize(ctx->width, ctx->height);
    }

    // Decoding the first picture here makes a broken codec header fail before playback starts,
    // rather than as a blank window.
    auto first = newPicture();
    if (!first) {
        return first.error();
    }
    auto decoded = decodeInto(first.value());
    if (m_input.pictureFormat && (!decoded || !decoded.value())) {
        // Not even one picture: whatever is wrong with it, it is no movie.
        return notAMovieError(m_input.fileName);
    }
    if (!decoded) {
        return makeError(decoded.error().kind == ErrorKind::FileUnreadable
                             ? ErrorKind::FileUnreadable
                             : ErrorKind::CorruptMedia,
                         decoded.error().message);
    }
    if (!decoded.value()) {
        return makeError(ErrorKind::CorruptMedia,
                         QStringLiteral("The movie file %1 contains no pictures.")
                             .arg(quoted(m_input.fileName)));
    }
    // The context may have been opened again while the picture was read.
    const AVRational sampleAspect = av_guess_sample_aspect_ratio(
        m_input.format.get(), m_input.format->streams[m_input.streamIndex],
        first.value().frame.get());
    m_displaySize = displaySizeFor(m_input.codedSize, sampleAspect);
    m_queue.push_back(std::move(first.value()));

    if (m_input.pictureFormat) {
        // A picture format: it is a movie only if a second frame follows.
        auto second = newPicture();
        if (!second) {
            return second.error();
        }
        auto more = decodeInto(second.value());
        if (more && !more.value()) {
            return notAMovieError(m_input.fileName);
        }
        if (more) {
            m_queue.push_back(std::move(second.value()));
        } else {
            // The first frame plays; the damage is reported where it is.
            m_failed = true;
            m_error = more.error();
        }
    }
    return {};
}

double FfmpegVideoDecoder::frameRate() const
{
    return av_q2d(m_input.frameRate);
}

QString FfmpegVideoDecoder::codecName() const
{
    return QString::fromLatin1(
        avcodec_get_name(m_input.format->streams[m_input.streamIndex]->codecpar->codec_id));
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
    return makeError(
        kind, QStringLiteral("The movie file %1 could not be %2: %3")
                  .arg(quoted(m_input.fileName), QLatin1String(what), ffmpegErrorText(errorCode)));
}

void FfmpegVideoDecoder::stamp(Picture &picture)
{
    const std::int64_t timestamp = picture.frame->best_effort_timestamp;
    if (timestamp != AV_NOPTS_VALUE) {
        const std::int64_t relative = timestamp - m_input.startTimestamp;
        picture.ptsMs =
            av_rescale_q_rnd(relative, m_input.timeBase, AVRational{1, 1000}, AV_ROUND_NEAR_INF);
        picture.index = av_rescale_q_rnd(relative, m_input.timeBase, av_inv_q(m_input.frameRate),
                                         AV_ROUND_NEAR_INF);
    } else {
        picture.index = m_lastIndex + 1;
        picture.ptsMs = av_rescale_q_rnd(picture.index, av_inv_q(m_input.frameRate),
                                         AVRational{1, 1000}, AV_ROUND_NEAR_INF);
    }
    m_lastIndex = picture.index;
}

Result<bool> FfmpegVideoDecoder::decodeInto(Picture &out)
{
    AVCodecContext *const ctx = m_codec.get();
    const Result<bool> got =
        receiveFrame(m_input.format, ctx, m_packet.get(), m_input.streamIndex, out.frame.get(),
                     m_decode, [this](int rc, const char *what) { return readError(rc, what); });
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
    if (Result<void> primed = prime(); !primed) {
        return primed.error();
    }
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
    if (!advanced.value() && m_input.truncated) {
        m_failed = true;
        m_error = makeError(ErrorKind::CorruptMedia,
                            QStringLiteral("The movie file %1 ends early: it is truncated or "
                                           "damaged.")
                                .arg(quoted(m_input.fileName)));
        return m_error;
    }
    return advanced.value();
}

Result<std::optional<VideoPicture>> FfmpegVideoDecoder::nextPicture()
{
    auto advanced = advanceForCaller();
    if (!advanced) {
        return advanced.error();
    }
    if (!advanced.value()) {
        return std::optional<VideoPicture>();
    }
    // The frame goes with the picture; the next decode takes a fresh one.
    return std::optional<VideoPicture>(
        VideoPicture{m_current.ptsMs, m_current.index, std::move(m_current.frame)});
}

Result<std::optional<VideoFrame>> FfmpegVideoDecoder::next()
{
    auto picture = nextPicture();
    if (!picture || !picture.value()) {
        return picture ? Result<std::optional<VideoFrame>>(std::optional<VideoFrame>())
                       : Result<std::optional<VideoFrame>>(picture.error());
    }
    auto image = m_converter.toImage(*picture.value()->frame, m_displaySize);
    if (!image) {
        m_failed = true;
        m_error = image.error();
        return m_error;
    }
    return std::optional<VideoFrame>(
        VideoFrame{picture.value()->ptsMs, picture.value()->index, std::move(image.value())});
}

Result<bool> FfmpegVideoDecoder::skip()
{
    auto advanced = advanceForCaller();
    if (advanced && advanced.value()) {
        av_frame_unref(m_current.frame.get());
    }
    return advanced;
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
    const AVRational halfUnit = target.byIndex
                                    ? AVRational{m_input.frameRate.den, 2 * m_input.frameRate.num}
                                    : AVRational{1, 2000};
    const std::int64_t relative =
        av_rescale_q_rnd(2 * target.value + 1, halfUnit, m_input.timeBase, AV_ROUND_UP) - 1;
    return m_input.startTimestamp + std::max<std::int64_t>(relative, 0);
}

Result<void> FfmpegVideoDecoder::containerSeek(std::int64_t timestamp)
{
    if (Result<void> ready = readyToSeek(m_input.format, m_input.streamIndex, m_decode); !ready) {
        return ready.error();
    }
    AVFormatContext *const fmt = m_input.format.get();
    int rc = av_seek_frame(fmt, m_input.streamIndex, timestamp, AVSEEK_FLAG_BACKWARD);
    if (rc < 0) {
        // Nothing at or before the timestamp in the index (a stream whose first keyframe comes
        // after its start time): take the keyframe nearest to it.
        rc = avformat_seek_file(fmt, m_input.streamIndex, INT64_MIN, timestamp, INT64_MAX, 0);
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
    if (Result<void> primed = prime(); !primed) {
        return primed;
    }
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
        std::max<std::int64_t>(av_rescale_q(1, AVRational{1, 1}, m_input.timeBase), 1);
    for (int attempt = 0;; ++attempt) {
        const bool lastTry = timestamp < m_input.startTimestamp || attempt >= kSeekAttempts - 1;
        if (lastTry) {
            timestamp = std::min(timestamp, m_input.startTimestamp - stepBack);
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
