#include "media/devices/ContainerSniffing.h"

#include <QtEndian>

namespace zyr::media {

SniffedContainer sniffContainer(const QByteArray &head, qint64 fileSize)
{
    SniffedContainer result;
    if (head.size() >= 12 && head.startsWith("RIFF") && head.mid(8, 4) == "AVI ") {
        result.container = KnownContainer::Avi;
        const quint32 riffSize = qFromLittleEndian<quint32>(head.constData() + 4);
        result.truncated = riffSizeExceedsFile(riffSize, fileSize);
    } else if (head.startsWith("\x1a\x45\xdf\xa3")) {
        result.container = KnownContainer::Matroska;
    } else if (head.size() >= 8 && (head.mid(4, 4) == "ftyp" || head.mid(4, 4) == "moov")) {
        result.container = KnownContainer::IsoMedia;
    }
    return result;
}

} // namespace zyr::media
