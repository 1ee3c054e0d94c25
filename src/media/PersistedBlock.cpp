#include "media/PersistedBlock.h"

namespace zyr::media {

std::optional<std::uint32_t> PersistedBlock::u32(qsizetype offset) const
{
    if (offset < 0 || offset > m_bytes.size() - 4)
        return std::nullopt;
    const auto *p = reinterpret_cast<const unsigned char *>(m_bytes.constData() + offset);
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

std::optional<std::uint16_t> PersistedBlock::u16(qsizetype offset) const
{
    if (offset < 0 || offset > m_bytes.size() - 2)
        return std::nullopt;
    const auto *p = reinterpret_cast<const unsigned char *>(m_bytes.constData() + offset);
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

bool PersistedBlock::bytesAre(qsizetype offset, QByteArrayView expected) const
{
    if (offset < 0 || offset > m_bytes.size() - expected.size())
        return false;
    return QByteArrayView(m_bytes).sliced(offset, expected.size()) == expected;
}

bool PersistedBlock::filledWith(qsizetype offset, qsizetype count, char value) const
{
    if (offset < 0 || count < 0 || offset > m_bytes.size() - count)
        return false;
    for (qsizetype i = offset; i < offset + count; ++i)
        if (m_bytes[i] != value)
            return false;
    return true;
}

} // namespace zyr::media
