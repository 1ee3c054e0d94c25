#pragma once
// What the fuzz targets share: a check that stops the run when a reader breaks a promise, and a
// cursor that hands out the input bytes as the values a target needs.

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Aborts with the condition and where it was written when `condition` is false. libFuzzer keeps
// the input that got there; the seed runner fails the test.
#define ZYR_FUZZ_CHECK(condition)                                                                  \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: broken promise: %s\n", __FILE__, __LINE__, #condition);   \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace zyr::fuzz {

// Hands out the input from the front. Past the end it gives zeros and empty strings, so a
// target never needs to check what is left before asking.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t *data, std::size_t size) : m_data(data), m_size(size) {}

    bool empty() const { return m_pos >= m_size; }
    std::size_t remaining() const { return m_size - m_pos; }

    std::uint8_t u8() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    std::uint16_t u16()
    {
        const std::uint16_t low = u8();
        return static_cast<std::uint16_t>(low | u8() << 8);
    }
    std::uint32_t u32()
    {
        const std::uint32_t low = u16();
        return low | std::uint32_t(u16()) << 16;
    }
    bool flag() { return (u8() & 1) != 0; }
    // A value in [0, bound), bound > 0.
    std::uint32_t below(std::uint32_t bound) { return bound == 0 ? 0 : u32() % bound; }

    // A string: a length byte, then that many bytes as UTF-8 (the length clipped to what is left).
    QString text()
    {
        const std::size_t length = std::min<std::size_t>(u8(), remaining());
        const QString s =
            QString::fromUtf8(reinterpret_cast<const char *>(m_data + m_pos), qsizetype(length));
        m_pos += length;
        return s;
    }
    // Everything that is left.
    QByteArray rest()
    {
        const QByteArray bytes(reinterpret_cast<const char *>(m_data + m_pos),
                               qsizetype(remaining()));
        m_pos = m_size;
        return bytes;
    }

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

} // namespace zyr::fuzz
