#include "media/devices/ContainerSniffing.h"

#include <QtEndian>

namespace zyr::media {

namespace {

// A RIFF size may claim this many bytes beyond the end of the file: the pad byte after an
// odd-sized last chunk, which some writers count but do not write.
constexpr qint64 kRiffSizeSlack = 1;
// Sizes left by writers that stream or crashed before patching the header: no claim at all.
constexpr quint32 kStreamingSizeZero = 0;
constexpr quint32 kStreamingSizeMax = 0xFFFFFFFFu;

} // namespace

SniffedContainer sniffContainer(const QByteArray &head, qint64 fileSize)
{
    SniffedContainer result;
    if (head.size() >= 12 && head.startsWith("RIFF") && head.mid(8, 4) == "AVI ") {
        result.container = KnownContainer::Avi;
        const quint32 riffSize = qFromLittleEndian<quint32>(head.constData() + 4);
        result.truncated = riffSize != kStreamingSizeZero && riffSize != kStreamingSizeMax &&
                           qint64(riffSize) + 8 > fileSize + kRiffSizeSlack;
    } else if (head.startsWith("\x1a\x45\xdf\xa3")) {
        result.container = KnownContainer::Matroska;
    } else if (head.size() >= 8 && (head.mid(4, 4) == "ftyp" || head.mid(4, 4) == "moov")) {
        result.container = KnownContainer::IsoMedia;
    }
    return result;
}

} // namespace zyr::media
