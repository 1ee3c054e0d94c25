#pragma once
// Reading the little-endian persisted blocks that the window designs hold for their components.
// A reader never trusts the block: every read is bounds-checked against its size.

#include <QByteArray>

#include <cstdint>
#include <optional>

namespace zyr::media {

class PersistedBlock {
public:
    explicit PersistedBlock(QByteArray bytes) : m_bytes(std::move(bytes)) {}

    qsizetype size() const { return m_bytes.size(); }
    std::optional<std::uint32_t> u32(qsizetype offset) const;
    std::optional<std::uint16_t> u16(qsizetype offset) const;
    // Whether the bytes from `offset` equal `expected`.
    bool bytesAre(qsizetype offset, QByteArrayView expected) const;
    // Whether every byte in [offset, offset + count) is `value`.
    bool filledWith(qsizetype offset, qsizetype count, char value) const;

private:
    QByteArray m_bytes;
};

} // namespace zyr::media
