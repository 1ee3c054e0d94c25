#include "support/ProcessFigures.h"

#include <QByteArray>
#include <QFile>
#include <QList>

namespace zyr::test {

namespace {

// The first number after `key` in the "key: value" lines of `path`, times `unit`.
qint64 field(const char *path, const QByteArray &key, qint64 unit)
{
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong() * unit;
    return -1;
}

} // namespace

qint64 bytesReadByProcess()
{
    return field("/proc/self/io", "rchar:", 1);
}

qint64 residentBytes()
{
    return field("/proc/self/status", "VmRSS:", 1024);
}

} // namespace zyr::test
