#include "media/devices/FfmpegErrors.h"

extern "C" {
#include <libavutil/error.h>
}

#include <QFileInfo>

#include <cerrno>

namespace zyr::media {

QString quoted(const QString &name)
{
    return QStringLiteral("\u201c%1\u201d").arg(name);
}

Result<void> checkMediaFile(const QString &path, const QString &kind)
{
    if (path.isEmpty())
        return makeError(ErrorKind::FileNotFound, QStringLiteral("No file name was given."));
    const QFileInfo info(path);
    if (!info.exists())
        return makeError(ErrorKind::FileNotFound,
                         QStringLiteral("The file %1 does not exist.").arg(quoted(path)));
    if (info.isDir())
        return makeError(ErrorKind::FileNotFound,
                         QStringLiteral("%1 is a folder, not a %2.").arg(quoted(path), kind));
    if (!info.isFile())
        return makeError(ErrorKind::UnsupportedFormat,
                         QStringLiteral("%1 is not a regular file.").arg(quoted(path)));
    return {};
}

bool isIoError(int errorCode)
{
    return errorCode == AVERROR(EIO) || errorCode == AVERROR(EACCES) ||
           errorCode == AVERROR(EPERM) || errorCode == AVERROR(EISDIR);
}

} // namespace zyr::media
