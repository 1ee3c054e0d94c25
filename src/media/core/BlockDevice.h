#pragma once
// Whether a path names a block device, such as a CD drive's node (/dev/sr0).

#include <QFile>
#include <QString>

#include <sys/stat.h>

namespace zyr::media {

inline bool isBlockDevice(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISBLK(info.st_mode);
}

} // namespace zyr::media
