#include "media/devices/FfmpegInput.h"

#include "media/devices/FfmpegErrors.h"

extern "C" {
#include <libavutil/mem.h>
}

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

namespace zyr::media {

Result<InputFormatContextPtr> openLocalInput(const QString &path, bool recognised,
                                             const QString &kind,
                                             std::optional<int> maxProbePackets)
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
    const QByteArray url = QByteArrayLiteral("file:") + QFile::encodeName(path);
    AVFormatContext *rawFormat = format.release();
    // On failure avformat_open_input frees the context and nulls the pointer.
    const int rc = avformat_open_input(&rawFormat, url.constData(), nullptr, nullptr);
    if (rc >= 0)
        return InputFormatContextPtr(rawFormat);
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

} // namespace zyr::media
