#include "media/devices/MediaDevice.h"

#include "media/devices/LibraryMessages.h"

namespace zyr::media {

namespace {

MediaError unsupported(const char *what)
{
    return makeError(ErrorKind::InvalidCommand,
                     QStringLiteral("This device cannot %1.").arg(QLatin1String(what)));
}

} // namespace

MediaDevice::MediaDevice(QObject *parent) : QObject(parent)
{
    quietMediaLibraries();
}

Result<void> MediaDevice::step(int)
{
    return unsupported("step by frames");
}

Result<void> MediaDevice::record()
{
    return unsupported("record");
}

Result<void> MediaDevice::eject()
{
    return unsupported("eject");
}

Result<void> MediaDevice::load()
{
    return unsupported("load a disc");
}

} // namespace zyr::media
