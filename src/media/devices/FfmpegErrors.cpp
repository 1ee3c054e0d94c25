#include "media/devices/FfmpegErrors.h"

extern "C" {
#include <libavutil/error.h>
}

#include <cerrno>

namespace zyr::media {

QString quoted(const QString &name)
{
    return QStringLiteral("\u201c%1\u201d").arg(name);
}

bool isIoError(int errorCode)
{
    return errorCode == AVERROR(EIO) || errorCode == AVERROR(EACCES) ||
           errorCode == AVERROR(EPERM) || errorCode == AVERROR(EISDIR);
}

} // namespace zyr::media
