#include "media/devices/FfmpegMovieInput.h"

#include "media/devices/ContainerSniffing.h"
#include "media/devices/FfmpegErrors.h"
#include "media/devices/FfmpegInput.h"

extern "C" {
#include <libavutil/mathematics.h>
}

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <climits>
#include <cstring>
#include <initializer_list>

namespace zyr::media {

namespace {

// Rates above this are timestamps in disguise (a millisecond time base read as a rate).
constexpr double kMaxFrameRate = 1000.0;
constexpr AVRational kFallbackFrameRate{25, 1};
// The smallest room a picture takes in an AVI file: the header of its chunk.
constexpr std::int64_t kAviChunkHeaderBytes = 8;

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

// Whether the headers alone describe every stream well enough to play it: a known codec, and
// a picture size or a sample format. FFmpeg's AVI demuxer fills these from the stream headers.
bool headersDescribeStreams(const AVFormatContext *fmt)
{
    if (fmt->nb_streams == 0) {
        return false;
    }
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        const AVCodecParameters *codec = fmt->streams[i]->codecpar;
        if (codec->codec_type == AVMEDIA_TYPE_VIDEO &&
            (codec->codec_id == AV_CODEC_ID_NONE || codec->width <= 0 || codec->height <= 0)) {
            return false;
        }
        if (codec->codec_type == AVMEDIA_TYPE_AUDIO &&
            (codec->codec_id == AV_CODEC_ID_NONE || codec->sample_rate <= 0 ||
             codec->ch_layout.nb_channels <= 0)) {
            return false;
        }
    }
    return true;
}

// The stream's rate: FFmpeg's guess (which analysis refines), else the average the header
// states, else one picture per tick of the time base (an AVI's frame slot).
AVRational frameRateOf(AVFormatContext *fmt, AVStream *stream)
{
    for (const AVRational rate : {av_guess_frame_rate(fmt, stream, nullptr), stream->avg_frame_rate,
                                  av_inv_q(stream->time_base)}) {
        if (isValidRate(rate)) {
            return rate;
        }
    }
    return kFallbackFrameRate;
}

// Chooses the video stream; `codec` gets its decoder. An error when there is none to play.
Result<int> chooseVideoStream(AVFormatContext *fmt, const AVCodec **codec, const QString &name)
{
    int rc = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, codec, 0);
    bool onlyStills = false;
    if (rc >= 0 && isStillStream(fmt->streams[rc])) {
        // FFmpeg ranks cover art below moving video but still returns it when there is nothing
        // else; look for a moving stream with a decoder that it passed over.
        onlyStills = true;
        rc = AVERROR_STREAM_NOT_FOUND;
        *codec = nullptr;
        for (unsigned i = 0; i < fmt->nb_streams; ++i) {
            const AVStream *candidate = fmt->streams[i];
            if (candidate->codecpar->codec_type != AVMEDIA_TYPE_VIDEO || isStillStream(candidate)) {
                continue;
            }
            if (const AVCodec *found = avcodec_find_decoder(candidate->codecpar->codec_id)) {
                rc = int(i);
                *codec = found;
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
    if (isTextCodec(fmt->streams[rc]->codecpar->codec_id)) {
        return makeError(ErrorKind::UnsupportedFormat,
                         QStringLiteral("The file %1 is text, not a movie.").arg(quoted(name)));
    }
    return rc;
}

// Frame count and length in milliseconds from what the container states.
void measure(MovieInput &input)
{
    AVFormatContext *const fmt = input.format.get();
    const AVStream *const stream = fmt->streams[input.streamIndex];
    const AVRational frameSlot = av_inv_q(input.frameRate);
    const AVRational millisecond{1, 1000};
    if (stream->nb_frames > 0) {
        input.frameCount = stream->nb_frames;
    } else if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
        input.frameCount =
            av_rescale_q_rnd(stream->duration, stream->time_base, frameSlot, AV_ROUND_NEAR_INF);
    } else if (fmt->duration != AV_NOPTS_VALUE && fmt->duration > 0) {
        input.frameCount =
            av_rescale_q_rnd(fmt->duration, AV_TIME_BASE_Q, frameSlot, AV_ROUND_NEAR_INF);
    }
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
        input.lengthMs =
            av_rescale_q_rnd(stream->duration, stream->time_base, millisecond, AV_ROUND_NEAR_INF);
    } else if (fmt->duration != AV_NOPTS_VALUE && fmt->duration > 0) {
        input.lengthMs =
            av_rescale_q_rnd(fmt->duration, AV_TIME_BASE_Q, millisecond, AV_ROUND_NEAR_INF);
    } else if (input.frameCount > 0) {
        input.lengthMs =
            av_rescale_q_rnd(input.frameCount, frameSlot, millisecond, AV_ROUND_NEAR_INF);
    }
    // An AVI stores every picture in a chunk of its own, at least an 8-byte chunk header even for
    // a dropped one, so a header that claims more pictures than the file has room for lies: the
    // movie is not longer than the file can hold.
    const std::int64_t fileBytes = fmt->pb ? avio_size(fmt->pb) : -1;
    if (std::strcmp(fmt->iformat->name, "avi") == 0 && fileBytes > 0 &&
        input.frameCount > fileBytes / kAviChunkHeaderBytes) {
        input.frameCount = fileBytes / kAviChunkHeaderBytes;
        input.lengthMs = std::min(input.lengthMs, av_rescale_q_rnd(input.frameCount, frameSlot,
                                                                   millisecond, AV_ROUND_NEAR_INF));
    }
}

} // namespace

MediaError notAMovieError(const QString &fileName)
{
    return makeError(
        ErrorKind::UnsupportedFormat,
        QStringLiteral("The file %1 is a picture, not a movie.").arg(quoted(fileName)));
}

Result<MovieInput> openMovieInput(const QString &path)
{
    if (const Result<void> checked = checkMediaFile(path, QStringLiteral("movie file"));
        !checked.ok()) {
        return checked.error();
    }
    const QString name = QFileInfo(path).fileName();

    SniffedContainer sniffed;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            return makeError(ErrorKind::FileUnreadable,
                             QStringLiteral("The file %1 cannot be read: %2")
                                 .arg(quoted(name), file.errorString()));
        }
        sniffed = sniffContainer(file.read(kSniffBytes), file.size());
    }
    const bool recognised = sniffed.container != KnownContainer::Unknown;

    MovieInput input;
    input.fileName = name;
    input.truncated = sniffed.truncated;
    input.path = path;
    // An AVI's headers are read alone: its index waits for a seek (FfmpegInput.h).
    const bool avi = sniffed.container == KnownContainer::Avi;
    Result<InputFormatContextPtr> opened =
        openLocalInput(path, recognised, QStringLiteral("movie"), std::nullopt,
                       avi ? InputReach::HeadersOnly : InputReach::Packets,
                       avi ? av_find_input_format("avi") : nullptr);
    if (!opened.ok()) {
        return opened.error();
    }
    input.format = std::move(opened).value();
    AVFormatContext *fmt = input.format.get();
    const bool headersOnly = readsHeadersOnly(*fmt);

    // FFmpeg settles for a weak guess when nothing matches well; random bytes can look like a
    // stream of some raw format. A guess at or below the retry score is not an identification.
    if (!recognised && fmt->probe_score <= AVPROBE_SCORE_RETRY) {
        return makeError(ErrorKind::UnsupportedFormat,
                         QStringLiteral("The file %1 is not in a movie format this program knows.")
                             .arg(quoted(name)));
    }
    if (isPictureDemuxer(fmt->iformat->name)) {
        return notAMovieError(name);
    }
    input.pictureFormat = isAnimatedPictureDemuxer(fmt->iformat->name);
    if (!headersOnly || !headersDescribeStreams(fmt)) {
        if (headersOnly) { // the analysis reads packets
            opened = openLocalInput(path, recognised, QStringLiteral("movie"), std::nullopt,
                                    InputReach::Packets, fmt->iformat);
            if (!opened.ok()) {
                return opened.error();
            }
            input.format = std::move(opened).value();
            fmt = input.format.get();
        }
        // Codec parameters and durations may need packets read. This reads a bounded amount,
        // never the file.
        if (const int rc = avformat_find_stream_info(fmt, nullptr); rc < 0) {
            return makeError(ErrorKind::CorruptMedia,
                             QStringLiteral("The movie file %1 is damaged: %2")
                                 .arg(quoted(name), ffmpegErrorText(rc)));
        }
    }
    if (recognised && fmt->nb_streams == 0) {
        // A movie container always describes at least one stream; none means its header list
        // is unreadable.
        return makeError(ErrorKind::CorruptMedia,
                         QStringLiteral("The movie file %1 is damaged: it describes no streams.")
                             .arg(quoted(name)));
    }
    input.hasAudio = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0) >= 0;

    Result<int> chosen = chooseVideoStream(fmt, &input.codec, name);
    if (!chosen) {
        return chosen.error();
    }
    input.streamIndex = chosen.value();
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        if (int(i) != input.streamIndex) {
            fmt->streams[i]->discard = AVDISCARD_ALL;
        }
    }
    AVStream *const stream = fmt->streams[input.streamIndex];
    input.codedSize = QSize(stream->codecpar->width, stream->codecpar->height);
    if (input.codedSize.isEmpty()) {
        return makeError(ErrorKind::CorruptMedia,
                         QStringLiteral("The movie file %1 is damaged: it gives no picture size.")
                             .arg(quoted(name)));
    }

    // Timing. The rate is reduced so that twice its numerator still fits an int (see
    // FfmpegVideoDecoder's seeking).
    input.timeBase = stream->time_base;
    input.startTimestamp = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    AVRational rate = frameRateOf(fmt, stream);
    av_reduce(&rate.num, &rate.den, rate.num, rate.den, INT_MAX / 2);
    input.frameRate = rate;
    measure(input);
    return input;
}

} // namespace zyr::media
