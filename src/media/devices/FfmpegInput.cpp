#include "media/devices/FfmpegInput.h"

#include "media/devices/FfmpegErrors.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/dict.h>
#include <libavutil/mem.h>
}

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdint>
#include <new>

namespace zyr::media {

namespace {

// How much a HeadersOnly context reads: an AVI's headers, and the first packets of an
// interleaved one (a second of sound and pictures, at most a few megabytes at full HD).
constexpr std::int64_t kHeadersOnlyBytes = std::int64_t(4) << 20;

// How much of the file a context read on as a stream passes over without a packet of its
// stream before it stops: far more than interleaving puts between two of them (a second of
// full-HD H.264 is about 1 MB), far less than a file whose streams lie one after the other.
constexpr std::int64_t kFarthestGap = std::int64_t(8) << 20;

// Where a HeadersOnly context's reads stop, kept in its user data: beyond `limit` bytes read.
// Read on as a stream, each packet of the stream moves the limit `gap` bytes further on.
struct ReadingBound {
    std::int64_t limit = kHeadersOnlyBytes;
    std::int64_t gap = 0;
    bool reached = false;
};

ReadingBound *boundOf(const AVFormatContext &format)
{
    return readsHeadersOnly(format) ? static_cast<ReadingBound *>(format.opaque) : nullptr;
}

int stopFarIn(void *opaque)
{
    const auto *format = static_cast<const AVFormatContext *>(opaque);
    ReadingBound *const bound = boundOf(*format);
    if (format->pb == nullptr || bound == nullptr || format->pb->bytes_read <= bound->limit)
        return 0;
    bound->reached = true;
    return 1;
}

// FFmpeg's opening of the file itself, made unseekable: a demuxer then reads its headers and
// leaves what lies further on in the file alone.
int openUnseekable(AVFormatContext *format, AVIOContext **pb, const char *url, int flags,
                   AVDictionary **options)
{
    AVDictionary *own = nullptr;
    AVDictionary **dict = options != nullptr ? options : &own;
    int rc = av_dict_set(dict, "protocol_whitelist", format->protocol_whitelist, 0);
    if (rc >= 0)
        rc = avio_open2(pb, url, flags, &format->interrupt_callback, dict);
    av_dict_free(&own);
    if (rc >= 0)
        (*pb)->seekable = 0;
    return rc;
}

} // namespace

Result<InputFormatContextPtr> openLocalInput(const QString &path, bool recognised,
                                             const QString &kind,
                                             std::optional<int> maxProbePackets, InputReach reach,
                                             const AVInputFormat *demuxer)
{
    const QString name = QFileInfo(path).fileName();
    InputFormatContextPtr format(avformat_alloc_context());
    if (!format)
        return makeError(ErrorKind::Internal, QStringLiteral("Out of memory opening a file."));
    format->protocol_whitelist = av_strdup("file");
    if (format->protocol_whitelist == nullptr)
        return makeError(ErrorKind::Internal, QStringLiteral("Out of memory opening a file."));
    if (maxProbePackets)
        format->max_probe_packets = *maxProbePackets;
    void *bound = nullptr;
    if (reach == InputReach::HeadersOnly) {
        bound = av_malloc(sizeof(ReadingBound));
        if (bound == nullptr)
            return makeError(ErrorKind::Internal, QStringLiteral("Out of memory opening a file."));
        format->opaque = new (bound) ReadingBound;
        format->io_open = openUnseekable;
        format->interrupt_callback = AVIOInterruptCB{stopFarIn, format.get()};
    }
    const QByteArray url = QByteArrayLiteral("file:") + QFile::encodeName(path);
    AVFormatContext *rawFormat = format.release();
    // On failure avformat_open_input frees the context, not its user data, and nulls the pointer.
    const int rc = avformat_open_input(&rawFormat, url.constData(), demuxer, nullptr);
    if (rc >= 0)
        return InputFormatContextPtr(rawFormat);
    // Headers beyond the bound (the demuxer may report the stopped read as damage or an end).
    const bool beyondBound = bound != nullptr && static_cast<ReadingBound *>(bound)->reached;
    av_free(bound);
    if (beyondBound)
        return openLocalInput(path, recognised, kind, maxProbePackets, InputReach::Packets,
                              demuxer);
    if (rc == AVERROR(ENOENT))
        return makeError(ErrorKind::FileNotFound,
                         QStringLiteral("The file %1 does not exist.").arg(quoted(path)));
    if (isIoError(rc))
        return makeError(ErrorKind::FileUnreadable, QStringLiteral("The file %1 cannot be read: %2")
                                                        .arg(quoted(name), ffmpegErrorText(rc)));
    if (recognised)
        return makeError(ErrorKind::CorruptMedia,
                         QStringLiteral("The %1 file %2 is damaged: %3")
                             .arg(kind, quoted(name), ffmpegErrorText(rc)));
    return makeError(ErrorKind::UnsupportedFormat,
                     QStringLiteral("The file %1 is not in a %2 format this program knows (%3).")
                         .arg(quoted(name), kind, ffmpegErrorText(rc)));
}

bool readsHeadersOnly(const AVFormatContext &format)
{
    return format.io_open == openUnseekable;
}

void readOnAsStream(AVFormatContext &format)
{
    if (ReadingBound *const bound = boundOf(format); bound != nullptr && !bound->reached) {
        bound->gap = kFarthestGap;
        streamPacketRead(format);
    }
}

void streamPacketRead(const AVFormatContext &format)
{
    ReadingBound *const bound = boundOf(format);
    if (bound != nullptr && bound->gap > 0 && format.pb != nullptr)
        bound->limit = format.pb->bytes_read + bound->gap;
}

bool readingStopped(const AVFormatContext &format)
{
    const ReadingBound *const bound = boundOf(format);
    return bound != nullptr && bound->reached;
}

Result<void> reopenForPackets(InputFormatContextPtr &format, const QString &path, int streamIndex,
                              const QString &kind)
{
    Result<InputFormatContextPtr> opened =
        openLocalInput(path, true, kind, std::nullopt, InputReach::Packets, format->iformat);
    if (!opened)
        return opened.error();
    AVFormatContext *const full = opened.value().get();
    const AVCodecParameters *const was = format->streams[streamIndex]->codecpar;
    if (unsigned(streamIndex) >= full->nb_streams ||
        full->streams[streamIndex]->codecpar->codec_type != was->codec_type ||
        full->streams[streamIndex]->codecpar->codec_id != was->codec_id) {
        return makeError(ErrorKind::CorruptMedia,
                         QStringLiteral("The %1 file %2 changed while it was open.")
                             .arg(kind, quoted(QFileInfo(path).fileName())));
    }
    for (unsigned i = 0; i < full->nb_streams; ++i) {
        if (int(i) != streamIndex)
            full->streams[i]->discard = AVDISCARD_ALL;
    }
    format = std::move(opened).value();
    return {};
}

} // namespace zyr::media
