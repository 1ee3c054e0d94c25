#pragma once
// Damages valid media files in reproducible ways, for the tests that open what a user might pick:
// a file of the right kind that has been cut short, bit-rotted, written by a careless program or
// made by hand to mislead.
//
//     const Mutator mutator(wav, ChunkLayout::Riff, 0x5741);
//     for (int i = 0; i < 500; ++i) {
//         const Mutation m = mutator.mutate(i); // m.bytes, m.description
//         ...
//     }
//
// Every mutation is a pure function of the original, the layout, the seed and its index, so an
// index names it for good: the same index gives the same bytes on every machine and every run.
// Binary media are walked as chunks (RIFF for WAVE and AVI, big-endian chunks for MIDI), and the
// damage aims at them: lying sizes, chunks cut, removed, inserted and duplicated, header fields
// overwritten with edge values, besides plain bit flips and truncations anywhere. Text (a cue
// sheet) is damaged line by line and number by number.
//
// Threads: a Mutator holds only const data; any thread may use it.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace zyr::test {

// A small PRNG with an exactly specified output (SplitMix64), unlike the standard library's
// distributions, whose results differ between implementations.
class MutationRng {
public:
    explicit MutationRng(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next();
    // A number in [0, n); n must be positive.
    std::uint64_t below(std::uint64_t n) { return next() % n; }
    qint64 below(qint64 n) { return qint64(below(std::uint64_t(n))); }
    int below(int n) { return int(below(std::uint64_t(n))); }
    bool percent(int chance) { return below(100) < chance; }
    template <typename T, std::size_t N> const T &pick(const T (&items)[N])
    {
        return items[below(std::uint64_t(N))];
    }

private:
    std::uint64_t m_state;
};

enum class ChunkLayout {
    Riff, // 4-byte id, 32-bit little-endian size, padded to even; RIFF and LIST hold chunks
    Midi  // 4-byte id, 32-bit big-endian size, no padding, no nesting
};

// One chunk as the walk found it. Sizes as the file states them may lie; `end` is where the
// chunk's bytes really stop (clipped to its container).
struct MediaChunk {
    QByteArray id;
    qint64 offset = 0;     // first byte of the id
    qint64 statedSize = 0; // the size field's value
    qint64 end = 0;        // one past the payload (and pad byte), clipped
    int depth = 0;         // 0 at the top level
    bool container = false;

    qint64 payload() const { return offset + 8; }
};

struct Mutation {
    QByteArray bytes;
    QString description;
};

class Mutator {
public:
    Mutator(QByteArray original, ChunkLayout layout, std::uint64_t seed);

    // The mutation of number `index`: one to three kinds of damage on the original.
    Mutation mutate(int index) const;

    // The chunks of `bytes` in file order, containers before what they hold. Tolerant: the walk
    // stops where a chunk no longer fits.
    static std::vector<MediaChunk> chunks(const QByteArray &bytes, ChunkLayout layout);

    // Damage to a text file of lines: lines removed, duplicated, swapped or inserted, numbers
    // changed to edge values, words replaced. `insertable` lines are the file format's own
    // statements that an insertion picks from.
    static Mutation mutateLines(const QByteArray &text, const QList<QByteArray> &insertable,
                                MutationRng &rng);

    // Plain damage anywhere in `bytes`: bit flips or edge bytes; appends to `description`.
    static void damageBytes(QByteArray &bytes, MutationRng &rng, QString &description);

private:
    // Applies one kind of damage to `bytes` and says what it did.
    QString damageOnce(QByteArray &bytes, MutationRng &rng) const;

    QByteArray m_original;
    ChunkLayout m_layout;
    std::uint64_t m_seed;
};

} // namespace zyr::test
