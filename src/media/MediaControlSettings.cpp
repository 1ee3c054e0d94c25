#include "media/MediaControlSettings.h"

#include "media/PersistedBlock.h"

#include <QtEndian>

namespace zyr::media {

namespace {

constexpr std::uint32_t kStreamSignature = 0x12344321;
constexpr std::uint32_t kControlSignature = 0xDEADFACE;
constexpr std::uint32_t kBytesAfterHeader = 64; // the bytes after offset 31

struct FixedU32 {
    qsizetype offset;
    std::uint32_t value;
};

constexpr FixedU32 kFixedU32[] = {{0, kStreamSignature},
                                  {4, 8},
                                  {16, kControlSignature},
                                  {20, 1},
                                  {24, kBytesAfterHeader},
                                  {28, 1},
                                  {32, 0}};

MediaError malformed(const char *what)
{
    return makeError(
        ErrorKind::CorruptMedia,
        QStringLiteral("The media control's settings are malformed: %1.").arg(QLatin1String(what)));
}

void putU32(QByteArray &b, qsizetype offset, std::uint32_t v)
{
    qToLittleEndian(v, b.data() + offset);
}

void putU16(QByteArray &b, qsizetype offset, std::uint16_t v)
{
    qToLittleEndian(v, b.data() + offset);
}

} // namespace

Result<MediaControlSettings> MediaControlSettings::fromPersisted(const QByteArray &bytes)
{
    if (bytes.size() != kBlockSize)
        return malformed("wrong size");
    const PersistedBlock block(bytes);
    for (const FixedU32 &f : kFixedU32)
        if (block.u32(f.offset) != f.value)
            return malformed("signature or count");
    if (block.u16(36) != 1 || block.u16(38) != 1)
        return malformed("version");
    if (!block.filledWith(44, 20, 0) || !block.filledWith(64, 16, '\xFF') ||
        !block.bytesAre(82, QByteArrayView("\xFF\xFF\x00\x00\xFF\xFF", 6)) ||
        !block.filledWith(88, 8, 0))
        return malformed("padding");
    const std::uint16_t b80 = *block.u16(80);
    if (b80 != 0 && b80 != 0xFFFF)
        return malformed("flags");
    const std::uint32_t interval = *block.u32(40);
    if (interval > 0x7FFF)
        return malformed("update interval");
    MediaControlSettings s;
    s.extentWidthHimetric = *block.u32(8);
    s.extentHeightHimetric = *block.u32(12);
    s.updateInterval = static_cast<std::int16_t>(interval);
    return s;
}

QByteArray MediaControlSettings::toPersisted(std::uint32_t widthHimetric,
                                             std::uint32_t heightHimetric,
                                             std::uint16_t updateInterval, std::uint16_t bytes80)
{
    QByteArray b(kBlockSize, '\0');
    for (const FixedU32 &f : kFixedU32)
        putU32(b, f.offset, f.value);
    putU32(b, 8, widthHimetric);
    putU32(b, 12, heightHimetric);
    putU16(b, 36, 1);
    putU16(b, 38, 1);
    putU32(b, 40, updateInterval);
    b.replace(64, 16, QByteArray(16, '\xFF'));
    putU16(b, 80, bytes80);
    b.replace(82, 6, QByteArray("\xFF\xFF\x00\x00\xFF\xFF", 6));
    return b;
}

} // namespace zyr::media
