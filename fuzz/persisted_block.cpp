// Fuzz target: PersistedBlock, the bounds-checked reader under both persisted blocks.
//
// The input is a list of reads (kind, offset, count, value) followed by the block itself. Every
// read with any offset or count, negative and huge ones included, stays inside the block and
// answers as a plain byte-by-byte reading of the block does: a value where the whole field lies
// inside the block, nothing (or false) where any of it does not.

#include "FuzzCheck.h"

#include "media/PersistedBlock.h"

#include <limits>
#include <optional>

using zyr::fuzz::FuzzInput;
using zyr::media::PersistedBlock;

namespace {

constexpr int kReads = 8;

// Offsets and counts: small ones near the block, and the extremes of qsizetype.
qsizetype pickOffset(FuzzInput &in)
{
    const std::uint8_t how = in.u8();
    switch (how % 8) {
    case 0:
        return std::numeric_limits<qsizetype>::max() - in.u8();
    case 1:
        return std::numeric_limits<qsizetype>::min() + in.u8();
    case 2:
        return -qsizetype(in.u8());
    default:
        return qsizetype(in.u8());
    }
}

// The little-endian value of `width` bytes at `offset`, read one byte at a time.
std::optional<std::uint32_t> expected(const QByteArray &b, qsizetype offset, int width)
{
    if (offset < 0 || offset >= b.size() || b.size() - offset < width)
        return std::nullopt;
    std::uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(b[offset + i]);
    return v;
}

bool inside(const QByteArray &b, qsizetype offset, qsizetype count)
{
    return offset >= 0 && count >= 0 && offset <= b.size() && count <= b.size() - offset;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput in(data, size);
    struct Read {
        std::uint8_t kind;
        qsizetype offset;
        qsizetype count;
        char value;
    } reads[kReads];
    for (Read &r : reads)
        r = {in.u8(), pickOffset(in), pickOffset(in), static_cast<char>(in.u8())};
    const QByteArray bytes = in.rest();
    const PersistedBlock block(bytes);
    ZYR_FUZZ_CHECK(block.size() == bytes.size());

    for (const Read &r : reads) {
        switch (r.kind % 4) {
        case 0:
            ZYR_FUZZ_CHECK(block.u32(r.offset) == expected(bytes, r.offset, 4));
            break;
        case 1: {
            const auto got = block.u16(r.offset);
            const auto want = expected(bytes, r.offset, 2);
            ZYR_FUZZ_CHECK(got.has_value() == want.has_value());
            ZYR_FUZZ_CHECK(!got || *got == *want);
            break;
        }
        case 2: {
            // Compared with bytes taken from the block itself (so that matches happen) or with
            // as many copies of `value`.
            const bool fromBlock = inside(bytes, r.offset, r.count % 16);
            const qsizetype count = fromBlock ? r.count % 16 : (r.count & 0xF);
            const QByteArray expectedBytes =
                fromBlock ? bytes.mid(r.offset, count) : QByteArray(count, r.value);
            bool same = inside(bytes, r.offset, count);
            for (qsizetype i = 0; same && i < count; ++i)
                same = bytes[r.offset + i] == expectedBytes[i];
            ZYR_FUZZ_CHECK(block.bytesAre(r.offset, expectedBytes) == same);
            break;
        }
        case 3: {
            bool filled = inside(bytes, r.offset, r.count);
            for (qsizetype i = 0; filled && i < r.count; ++i)
                filled = bytes[r.offset + i] == r.value;
            ZYR_FUZZ_CHECK(block.filledWith(r.offset, r.count, r.value) == filled);
            break;
        }
        }
    }
    return 0;
}
