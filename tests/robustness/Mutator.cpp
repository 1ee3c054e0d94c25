#include "Mutator.h"

#include <QList>
#include <QStringList>

#include <algorithm>

namespace zyr::test {

namespace {

// Walks stop here: a damaged file can claim any number of tiny chunks.
constexpr std::size_t kMaxChunks = 4096;
// How far into a chunk aimed damage reaches: its header and the first fields of its payload.
constexpr qint64 kAimReach = 56;
// Header fields are looked for in this many bytes at the start of a chunk's payload.
constexpr qint64 kFieldReach = 64;

constexpr std::uint8_t kEdgeBytes[] = {0x00, 0xFF, 0x7F, 0x80};
constexpr std::uint32_t kEdgeWords[] = {0,          1,          0x7F,       0x80,      0xFF,
                                        0x7FFF,     0x8000,     0xFFFF,     0x10000,   0x7FFFFFFF,
                                        0x80000000, 0xFFFFFFFF, 0x7F7F7F7F, 0x80808080};

// Chunks a RIFF or MIDI file may well hold, for insertions.
const QByteArray kRiffIds[] = {"fmt ", "data", "LIST", "JUNK", "fact", "INFO", "avih", "strh",
                               "strf", "strl", "movi", "idx1", "00dc", "01wb", "RIFF", "indx"};
const QByteArray kMidiIds[] = {"MTrk", "MThd", "XFIH", "MTrk", "MTrk"};
// Where the header fields of each format are.
const QByteArray kRiffHeaders[] = {"RIFF", "fmt ", "fact", "avih", "strh",
                                   "strf", "data", "idx1", "LIST", "indx"};

bool isBigEndian(ChunkLayout layout)
{
    return layout == ChunkLayout::Midi;
}

std::uint64_t readValue(const QByteArray &b, qint64 at, int width, bool bigEndian)
{
    std::uint64_t v = 0;
    for (int i = 0; i < width; ++i) {
        const auto byte = std::uint64_t(std::uint8_t(b[at + (bigEndian ? i : width - 1 - i)]));
        v = (v << 8) | byte;
    }
    return v;
}

void writeValue(QByteArray &b, qint64 at, int width, std::uint64_t v, bool bigEndian)
{
    for (int i = 0; i < width; ++i) {
        const auto byte = char((v >> (8 * i)) & 0xFF);
        b[at + (bigEndian ? width - 1 - i : i)] = byte;
    }
}

QString hex(std::uint64_t v)
{
    return QStringLiteral("0x%1").arg(v, 0, 16);
}

QString idText(const MediaChunk &c)
{
    QString s;
    for (const char ch : c.id)
        s += (ch >= 0x20 && ch < 0x7F) ? QChar::fromLatin1(ch) : QLatin1Char('?');
    return QStringLiteral("'%1' at %2").arg(s, hex(std::uint64_t(c.offset)));
}

void walk(const QByteArray &b, qint64 from, qint64 to, int depth, ChunkLayout layout,
          std::vector<MediaChunk> &out)
{
    qint64 pos = from;
    while (pos + 8 <= to && out.size() < kMaxChunks) {
        MediaChunk c;
        c.id = b.mid(pos, 4);
        c.offset = pos;
        c.statedSize = qint64(readValue(b, pos + 4, 4, isBigEndian(layout)));
        c.depth = depth;
        const qint64 padded = c.statedSize + (layout == ChunkLayout::Riff ? (c.statedSize & 1) : 0);
        c.end = std::min(to, pos + 8 + padded);
        c.container = layout == ChunkLayout::Riff && (c.id == "RIFF" || c.id == "LIST") &&
                      c.statedSize >= 4 && pos + 12 <= to;
        out.push_back(c);
        if (c.container)
            walk(b, pos + 12, c.end, depth + 1, layout, out);
        pos = c.end;
    }
}

// A place inside the file, aimed at chunk headers and the fields after them more often than
// the bulk of the data.
qint64 aimedOffset(const QByteArray &b, const std::vector<MediaChunk> &chunks, MutationRng &rng)
{
    if (chunks.empty() || rng.percent(40))
        return rng.below(qint64(b.size()));
    const MediaChunk &c = chunks[rng.below(chunks.size())];
    return std::min(qint64(b.size()) - 1, c.offset + rng.below(kAimReach));
}

// Adds `delta` to the size of every container that holds `at` (before the change), so that an
// inserted or removed chunk leaves the file consistent apart from the change itself.
void fixContainers(QByteArray &b, const std::vector<MediaChunk> &chunks, qint64 at, qint64 delta,
                   ChunkLayout layout)
{
    for (const MediaChunk &c : chunks) {
        if (!c.container || at <= c.offset + 8 || at > c.end)
            continue;
        const std::uint64_t size = std::uint64_t(std::max<qint64>(0, c.statedSize + delta));
        writeValue(b, c.offset + 4, 4, size & 0xFFFFFFFF, isBigEndian(layout));
    }
}

// A chunk as bytes: `id`, a size (the true one unless it lies) and `payload`, padded.
QByteArray makeChunk(const QByteArray &id, const QByteArray &payload, ChunkLayout layout,
                     MutationRng &rng, QString &sizeNote)
{
    QByteArray chunk = id.left(4).leftJustified(4, ' ');
    chunk.append(4, '\0');
    std::uint32_t size = std::uint32_t(payload.size());
    if (rng.percent(20)) {
        size = rng.pick(kEdgeWords);
        sizeNote = QStringLiteral(", stated size %1").arg(size);
    }
    writeValue(chunk, 4, 4, size, isBigEndian(layout));
    chunk += payload;
    if (layout == ChunkLayout::Riff && (payload.size() & 1))
        chunk.append('\0');
    return chunk;
}

QByteArray randomBytes(MutationRng &rng, qint64 count)
{
    QByteArray bytes;
    for (qint64 i = 0; i < count; ++i)
        bytes.append(char(rng.below(256)));
    return bytes;
}

} // namespace

std::uint64_t MutationRng::next()
{
    m_state += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = m_state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

Mutator::Mutator(QByteArray original, ChunkLayout layout, std::uint64_t seed)
    : m_original(std::move(original)), m_layout(layout), m_seed(seed)
{
}

std::vector<MediaChunk> Mutator::chunks(const QByteArray &bytes, ChunkLayout layout)
{
    std::vector<MediaChunk> out;
    walk(bytes, 0, bytes.size(), 0, layout, out);
    return out;
}

Mutation Mutator::mutate(int index) const
{
    MutationRng rng(m_seed * 0x100000001B3ull + std::uint64_t(index));
    QByteArray bytes = m_original;
    const int steps = rng.percent(75) ? 1 : 2 + rng.below(2);
    QStringList parts;
    for (int i = 0; i < steps; ++i)
        parts << damageOnce(bytes, rng);
    return {bytes, parts.join(QStringLiteral("; "))};
}

void Mutator::damageBytes(QByteArray &bytes, MutationRng &rng, QString &description)
{
    if (bytes.isEmpty()) {
        description += QStringLiteral("nothing to damage");
        return;
    }
    const std::vector<MediaChunk> none;
    if (rng.percent(50)) {
        const int flips = 1 + rng.below(8);
        description += QStringLiteral("bit flips at");
        for (int i = 0; i < flips; ++i) {
            const qint64 at = aimedOffset(bytes, none, rng);
            const int bit = rng.below(8);
            bytes[at] = char(bytes[at] ^ (1 << bit));
            description += QStringLiteral(" %1:%2").arg(hex(std::uint64_t(at))).arg(bit);
        }
        return;
    }
    const int count = 1 + rng.below(4);
    description += QStringLiteral("edge bytes");
    for (int i = 0; i < count; ++i) {
        const qint64 at = aimedOffset(bytes, none, rng);
        const int width = int(std::min<qint64>(qint64(1) << rng.below(3), bytes.size() - at));
        const std::uint8_t value = rng.pick(kEdgeBytes);
        for (int k = 0; k < width; ++k)
            bytes[at + k] = char(value);
        description +=
            QStringLiteral(" %1x%2 at %3").arg(hex(value)).arg(width).arg(hex(std::uint64_t(at)));
    }
}

QString Mutator::damageOnce(QByteArray &bytes, MutationRng &rng) const
{
    enum Kind {
        BitFlips,
        EdgeBytes,
        TruncateAnywhere,
        TruncateAtChunk,
        LyingSize,
        HeaderField,
        InsertChunk,
        DuplicateChunk,
        RemoveChunk,
        KindCount
    };
    const std::vector<MediaChunk> found = chunks(bytes, m_layout);
    const bool bigEndian = isBigEndian(m_layout);
    auto kind = Kind(rng.below(int(KindCount)));
    if (bytes.isEmpty())
        return QStringLiteral("nothing left to damage");
    if (found.empty() && kind > TruncateAnywhere)
        kind = BitFlips;

    switch (kind) {
    case BitFlips: {
        const int flips = 1 + rng.below(8);
        QString d = QStringLiteral("bit flips at");
        for (int i = 0; i < flips; ++i) {
            const qint64 at = aimedOffset(bytes, found, rng);
            const int bit = rng.below(8);
            bytes[at] = char(bytes[at] ^ (1 << bit));
            d += QStringLiteral(" %1:%2").arg(hex(std::uint64_t(at))).arg(bit);
        }
        return d;
    }
    case EdgeBytes: {
        const int count = 1 + rng.below(4);
        QString d = QStringLiteral("edge bytes");
        for (int i = 0; i < count; ++i) {
            const qint64 at = aimedOffset(bytes, found, rng);
            const int width =
                int(std::min<qint64>(qint64(1) << rng.below(3), qint64(bytes.size()) - at));
            const std::uint8_t value = rng.pick(kEdgeBytes);
            for (int k = 0; k < width; ++k)
                bytes[at + k] = char(value);
            d += QStringLiteral(" %1x%2 at %3")
                     .arg(hex(value))
                     .arg(width)
                     .arg(hex(std::uint64_t(at)));
        }
        return d;
    }
    case TruncateAnywhere: {
        const qint64 size = rng.below(qint64(bytes.size()));
        const qint64 was = bytes.size();
        bytes.truncate(size);
        return QStringLiteral("cut to %1 of %2 bytes").arg(size).arg(was);
    }
    case TruncateAtChunk: {
        const MediaChunk &c = found[rng.below(found.size())];
        const qint64 payloadEnd = std::max(c.payload(), c.end);
        const qint64 cuts[] = {c.offset,       c.offset + 4,
                               c.payload(),    c.payload() + (payloadEnd - c.payload()) / 2,
                               payloadEnd - 1, payloadEnd};
        const char *const names[] = {
            "before",           "inside the header of",       "after the header of",
            "in the middle of", "one byte before the end of", "at the end of"};
        const int which = rng.below(6);
        const qint64 at = std::clamp<qint64>(cuts[which], 0, bytes.size());
        bytes.truncate(at);
        return QStringLiteral("cut %1 %2 (%3 bytes)")
            .arg(QLatin1String(names[which]), idText(c))
            .arg(at);
    }
    case LyingSize: {
        const MediaChunk &c = found[rng.below(found.size())];
        const auto stated = std::uint32_t(c.statedSize);
        std::uint32_t lie = 0;
        switch (rng.below(6)) {
        case 0:
            lie = stated - 1;
            break;
        case 1:
            lie = stated + 1;
            break;
        case 2:
            lie = stated * 2;
            break;
        case 3:
            lie = std::uint32_t(bytes.size());
            break;
        case 4:
            lie = std::uint32_t(rng.next());
            break;
        default:
            lie = rng.pick(kEdgeWords);
            break;
        }
        writeValue(bytes, c.offset + 4, 4, lie, bigEndian);
        return QStringLiteral("size of %1: %2 -> %3").arg(idText(c)).arg(stated).arg(lie);
    }
    case HeaderField: {
        std::vector<const MediaChunk *> headers;
        for (const MediaChunk &c : found) {
            const bool isHeader = m_layout == ChunkLayout::Midi
                                      ? c.id == "MThd"
                                      : std::find(std::begin(kRiffHeaders), std::end(kRiffHeaders),
                                                  c.id) != std::end(kRiffHeaders);
            if (isHeader && c.end - c.payload() >= 2)
                headers.push_back(&c);
        }
        if (headers.empty())
            return QStringLiteral("no header field; ") + damageOnce(bytes, rng);
        const MediaChunk &c = *headers[rng.below(headers.size())];
        const qint64 reach = std::min(c.end - c.payload(), kFieldReach);
        int width = rng.percent(50) ? 2 : 4;
        if (reach < width)
            width = 2;
        const qint64 field = rng.below((reach - width) / 2 + 1) * 2;
        const qint64 at = c.payload() + field;
        const std::uint64_t mask = width == 2 ? 0xFFFFu : 0xFFFFFFFFu;
        const std::uint64_t was = readValue(bytes, at, width, bigEndian);
        std::uint64_t value = 0;
        switch (rng.below(5)) {
        case 0:
            value = was + 1;
            break;
        case 1:
            value = was - 1;
            break;
        case 2:
            value = was * 2;
            break;
        case 3:
            value = was / 2;
            break;
        default:
            value = rng.pick(kEdgeWords);
            break;
        }
        value &= mask;
        writeValue(bytes, at, width, value, bigEndian);
        return QStringLiteral("%1-bit field +%2 of %3: %4 -> %5")
            .arg(width * 8)
            .arg(field)
            .arg(idText(c), hex(was), hex(value));
    }
    case InsertChunk:
    case DuplicateChunk: {
        const MediaChunk &place = found[rng.below(found.size())];
        // Not in front of the file's own magic: that only makes the file unrecognisable.
        const qint64 at = (place.offset == 0 || rng.percent(50)) ? place.end : place.offset;
        QByteArray chunk;
        QString what;
        if (kind == InsertChunk) {
            const QByteArray id = rng.percent(15)                 ? randomBytes(rng, 4)
                                  : m_layout == ChunkLayout::Midi ? rng.pick(kMidiIds)
                                                                  : rng.pick(kRiffIds);
            QByteArray payload;
            if (rng.percent(50)) {
                payload = randomBytes(rng, rng.below(65));
            } else {
                const MediaChunk &source = found[rng.below(found.size())];
                payload = bytes.mid(
                    source.payload(),
                    std::min<qint64>(256, std::max<qint64>(0, source.end - source.payload())));
            }
            QString sizeNote;
            chunk = makeChunk(id, payload, m_layout, rng, sizeNote);
            what = QStringLiteral("inserted a chunk '%1' of %2 bytes%3")
                       .arg(QString::fromLatin1(id.toHex()))
                       .arg(payload.size())
                       .arg(sizeNote);
        } else {
            const MediaChunk &source = found[rng.below(found.size())];
            chunk = bytes.mid(source.offset, source.end - source.offset);
            what = QStringLiteral("duplicated %1").arg(idText(source));
        }
        bytes.insert(at, chunk);
        QString fixed;
        if (rng.percent(50)) {
            fixContainers(bytes, found, at, chunk.size(), m_layout);
            if (m_layout == ChunkLayout::Midi && chunk.startsWith("MTrk") &&
                bytes.startsWith("MThd") && bytes.size() >= 12) {
                writeValue(bytes, 10, 2, (readValue(bytes, 10, 2, true) + 1) & 0xFFFF, true);
            }
            fixed = QStringLiteral(", containers fixed");
        }
        return QStringLiteral("%1 at %2%3").arg(what, hex(std::uint64_t(at)), fixed);
    }
    case RemoveChunk: {
        const MediaChunk &c = found[rng.below(found.size())];
        bytes.remove(c.offset, c.end - c.offset);
        QString fixed;
        if (rng.percent(50)) {
            fixContainers(bytes, found, c.offset, -(c.end - c.offset), m_layout);
            fixed = QStringLiteral(", containers fixed");
        }
        return QStringLiteral("removed %1%2").arg(idText(c), fixed);
    }
    case KindCount:
        break;
    }
    return {};
}

Mutation Mutator::mutateLines(const QByteArray &text, const QList<QByteArray> &insertable,
                              MutationRng &rng)
{
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (lines.isEmpty())
        lines << QByteArray();
    const auto anyLine = [&] { return rng.below(int(lines.size())); };
    QString d;
    switch (rng.below(7)) {
    case 0: {
        const int i = anyLine();
        d = QStringLiteral("removed line %1 \"%2\"").arg(i + 1).arg(QString::fromLatin1(lines[i]));
        lines.removeAt(i);
        break;
    }
    case 1: {
        const int i = anyLine();
        const int to = rng.below(int(lines.size()) + 1);
        d = QStringLiteral("copied line %1 to %2").arg(i + 1).arg(to + 1);
        lines.insert(to, lines[i]);
        break;
    }
    case 2: {
        const int i = anyLine();
        const int j = anyLine();
        d = QStringLiteral("swapped lines %1 and %2").arg(i + 1).arg(j + 1);
        lines.swapItemsAt(i, j);
        break;
    }
    case 3: {
        QByteArray line;
        switch (rng.below(4)) {
        case 0:
            line = QByteArray(4000 + rng.below(8000), 'A');
            break;
        case 1:
            line = randomBytes(rng, rng.below(40));
            line.replace('\n', ' ');
            break;
        default:
            line = insertable[rng.below(int(insertable.size()))];
            break;
        }
        const int at = rng.below(int(lines.size()) + 1);
        d = QStringLiteral("inserted at line %1: \"%2\"")
                .arg(at + 1)
                .arg(QString::fromLatin1(line.left(60).toHex(' ')));
        lines.insert(at, line);
        break;
    }
    case 4:
    case 5: {
        // A number in a line changed to an edge value.
        const int i = anyLine();
        QByteArray &line = lines[i];
        QList<std::pair<qsizetype, qsizetype>> runs;
        for (qsizetype k = 0; k < line.size();) {
            if (!std::isdigit(std::uint8_t(line[k]))) {
                ++k;
                continue;
            }
            qsizetype e = k;
            while (e < line.size() && std::isdigit(std::uint8_t(line[e])))
                ++e;
            runs.append({k, e - k});
            k = e;
        }
        if (runs.isEmpty()) {
            line.append(" 99");
            d = QStringLiteral("appended a number to line %1").arg(i + 1);
            break;
        }
        static const char *const kNumbers[] = {"0",  "00", "1",   "74",          "75",         "59",
                                               "60", "99", "100", "255",         "4294967296", "-1",
                                               "",   "x",  "7",   "999999999999"};
        const auto [start, length] = runs[rng.below(int(runs.size()))];
        const QByteArray number = rng.pick(kNumbers);
        d = QStringLiteral("line %1: \"%2\" with %3 for \"%4\"")
                .arg(i + 1)
                .arg(QString::fromLatin1(line))
                .arg(QString::fromLatin1(number), QString::fromLatin1(line.mid(start, length)));
        line.replace(start, length, number);
        break;
    }
    default: {
        // A word changed: a track's mode, a file's type or name.
        const int i = anyLine();
        QList<QByteArray> words = lines[i].split(' ');
        const int w = rng.below(int(words.size()));
        static const char *const kWords[] = {"AUDIO",        "MODE1/2352",
                                             "MODE2/2352",   "MODE2/2336",
                                             "MODE1/2048",   "BINARY",
                                             "WAVE",         "MOTOROLA",
                                             "MP3",          "\"missing.bin\"",
                                             "\"\"",         "\"/\"",
                                             "\"disc.cue\"", "\"../disc.bin\"",
                                             "\"disc.bin",   "TRACK",
                                             "INDEX",        "FILE",
                                             "PREGAP",       "\"\x01\xff\""};
        const QByteArray word = rng.pick(kWords);
        d = QStringLiteral("line %1: \"%2\" with %3 for word %4")
                .arg(i + 1)
                .arg(QString::fromLatin1(lines[i]), QString::fromLatin1(word))
                .arg(w + 1);
        words[w] = word;
        lines[i] = words.join(' ');
        break;
    }
    }
    QByteArray out = lines.join(rng.percent(10) ? "\r\n" : "\n");
    if (rng.percent(90))
        out.append('\n');
    return {out, d};
}

} // namespace zyr::test
