#include "media/devices/MidiFileReader.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace zyr::media {

namespace {

constexpr std::uint32_t kDefaultUsPerQuarter = 500000;
constexpr std::uint8_t kMetaTempo = 0x51;
constexpr std::uint8_t kMetaEndOfTrack = 0x2F;
constexpr std::size_t kChunkHeaderBytes = 8;
constexpr std::uint32_t kMinHeaderLength = 6;
// Events reserved up front at most; files with more grow the vector as usual.
constexpr std::size_t kMaxReservedEvents = std::size_t(1) << 20;

// Messages are built as a clause that completes "The file “x” ..." or "The MIDI data ...", so
// that read() and readFile() can name what they read.
MediaError notMidi(const QString &clause)
{
    return makeError(ErrorKind::UnsupportedFormat, clause);
}

MediaError damaged(const QString &what)
{
    return makeError(ErrorKind::CorruptMedia, QStringLiteral("is damaged: %1").arg(what));
}

MediaError withSubject(const MediaError &error, const QString &subject)
{
    return makeError(error.kind, QStringLiteral("%1 %2.").arg(subject, error.message));
}

QString quoted(const QString &name)
{
    return QStringLiteral("\u201c%1\u201d").arg(name);
}

QString hexByte(std::uint8_t value)
{
    return QStringLiteral("%1").arg(uint(value), 2, 16, QLatin1Char('0')).toUpper();
}

std::uint32_t bigEndian32(const std::uint8_t *p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 |
           std::uint32_t(p[3]);
}

std::uint16_t bigEndian16(const std::uint8_t *p)
{
    return std::uint16_t(p[0] << 8 | p[1]);
}

enum class VlqStatus { Ok, Truncated, TooLong };

// Reads a variable-length quantity of at most four bytes starting at `pos`, never at or past
// `end`. On success `pos` is left after it.
VlqStatus readVlq(const std::uint8_t *data, std::size_t &pos, std::size_t end, std::uint32_t &value)
{
    value = 0;
    for (int i = 0; i < 4; ++i) {
        if (pos >= end) {
            return VlqStatus::Truncated;
        }
        const std::uint8_t byte = data[pos++];
        value = value << 7 | (byte & 0x7F);
        if ((byte & 0x80) == 0) {
            return VlqStatus::Ok;
        }
    }
    return VlqStatus::TooLong;
}

// Time base of the file. A tick lasts unitsPerTick / unitsPerUs microseconds; with ticks per
// quarter unitsPerTick is the tempo in microseconds per quarter and unitsPerUs the division.
struct Timebase {
    bool smpte = false;
    std::int64_t unitsPerUs = 1;
    std::int64_t smpteUnitsPerTick = 0;
};

struct TempoChange {
    std::int64_t tick = 0;
    std::uint32_t usPerQuarter = 0;
};

// From `tick` on (until the next segment) each tick adds unitsPerTick; `units` is the exact
// time of `tick` times Timebase::unitsPerUs.
struct TempoSegment {
    std::int64_t tick = 0;
    std::int64_t units = 0;
    std::int64_t unitsPerTick = 0;
};

// Whether a parse keeps the events and SysEx bytes or only checks them and finds the length.
enum class Keep { Events, LengthOnly };

// Everything the tracks add to, kept across tracks.
struct Collected {
    Keep keep = Keep::Events;
    std::vector<MidiEvent> events;      // timeUs holds the tick until the times are computed
    std::vector<std::size_t> trackEnds; // one past each track's last event in `events`
    std::vector<std::uint8_t> sysexData;
    std::vector<TempoChange> tempoChanges;
    std::size_t eventCount = 0; // events of any kind
    std::size_t sysexBytes = 0; // what sysexData holds, or would hold
    std::int64_t lastTick = 0;  // latest tick of any event in any track
};

// Parses the track chunk payload data[begin, end) as track `track` (from 0).
Result<void> parseTrack(const std::uint8_t *data, std::size_t begin, std::size_t end,
                        std::uint16_t track, Collected &out)
{
    const int trackNumber = int(track) + 1;
    const auto fail = [trackNumber](std::size_t at, const QString &what) {
        return damaged(QStringLiteral("track %1, byte %2: %3").arg(trackNumber).arg(at).arg(what));
    };
    const auto readLength = [&](std::size_t &pos, std::size_t eventStart,
                                std::uint32_t &length) -> Result<void> {
        switch (readVlq(data, pos, end, length)) {
        case VlqStatus::Truncated:
            return fail(eventStart, QStringLiteral("the track ends inside a length (truncated)"));
        case VlqStatus::TooLong:
            return fail(eventStart, QStringLiteral("a length longer than four bytes"));
        case VlqStatus::Ok:
            break;
        }
        if (length > end - pos) {
            return fail(eventStart, QStringLiteral("an event of %1 bytes runs past the end of "
                                                   "the track (truncated)")
                                        .arg(length));
        }
        return {};
    };

    std::size_t pos = begin;
    std::int64_t tick = 0;
    std::uint8_t runningStatus = 0;
    while (pos < end) {
        const std::size_t eventStart = pos;
        std::uint32_t delta = 0;
        switch (readVlq(data, pos, end, delta)) {
        case VlqStatus::Truncated:
            return fail(eventStart, QStringLiteral("the track ends inside a delta time "
                                                   "(truncated)"));
        case VlqStatus::TooLong:
            return fail(eventStart, QStringLiteral("a delta time longer than four bytes"));
        case VlqStatus::Ok:
            break;
        }
        if (pos >= end) {
            return fail(eventStart, QStringLiteral("the track ends after a delta time, before "
                                                   "its event (truncated)"));
        }
        if (++out.eventCount > MidiFileReader::kMaxEvents) {
            return damaged(
                QStringLiteral("it holds more than %1 events").arg(MidiFileReader::kMaxEvents));
        }
        // At most 4 Mi deltas of at most 2^28 ticks each: far from overflowing.
        tick += delta;

        std::uint8_t status = data[pos];
        if (status < 0x80) {
            if (runningStatus == 0) {
                return fail(pos, QStringLiteral("a data byte (%1) where a status byte is due, "
                                                "with no running status in effect")
                                     .arg(hexByte(status)));
            }
            status = runningStatus;
        } else {
            ++pos;
        }

        if (status < 0xF0) {
            runningStatus = status;
            const std::uint8_t kind = status & 0xF0;
            const std::size_t dataBytes = kind == 0xC0 || kind == 0xD0 ? 1 : 2;
            if (end - pos < dataBytes) {
                return fail(eventStart, QStringLiteral("the track ends inside a channel message "
                                                       "(truncated)"));
            }
            const std::uint8_t data1 = data[pos];
            const std::uint8_t data2 = dataBytes == 2 ? data[pos + 1] : 0;
            if ((data1 | data2) >= 0x80) {
                return fail(eventStart, QStringLiteral("a status byte inside channel message %1, "
                                                       "where a data byte is due")
                                            .arg(hexByte(status)));
            }
            pos += dataBytes;
            if (out.keep == Keep::Events) {
                MidiEvent event;
                event.timeUs = tick;
                event.status = status;
                event.data1 = data1;
                event.data2 = data2;
                event.track = track;
                out.events.push_back(event);
            }
            continue;
        }

        if (status == 0xF0 || status == 0xF7) {
            runningStatus = 0;
            std::uint32_t length = 0;
            if (auto checked = readLength(pos, eventStart, length); !checked) {
                return checked.error();
            }
            const std::size_t prefix = status == 0xF0 ? 1 : 0;
            if (out.sysexBytes + prefix + length > MidiFileReader::kMaxSysexBytes) {
                return damaged(QStringLiteral("it holds more than %1 bytes of SysEx messages")
                                   .arg(MidiFileReader::kMaxSysexBytes));
            }
            out.sysexBytes += prefix + length;
            if (out.keep == Keep::LengthOnly) {
                pos += length;
                continue;
            }
            MidiEvent event;
            event.timeUs = tick;
            event.status = status;
            event.sysexOffset = std::uint32_t(out.sysexData.size());
            event.sysexLength = std::uint32_t(prefix + length);
            event.track = track;
            if (prefix != 0) {
                out.sysexData.push_back(0xF0);
            }
            out.sysexData.insert(out.sysexData.end(), data + pos, data + pos + length);
            pos += length;
            out.events.push_back(event);
            continue;
        }

        if (status == 0xFF) {
            runningStatus = 0;
            if (pos >= end) {
                return fail(eventStart, QStringLiteral("the track ends inside a meta event "
                                                       "(truncated)"));
            }
            const std::uint8_t type = data[pos++];
            std::uint32_t length = 0;
            if (auto checked = readLength(pos, eventStart, length); !checked) {
                return checked.error();
            }
            if (type == kMetaTempo) {
                if (length != 3) {
                    return fail(
                        eventStart,
                        QStringLiteral("a tempo event of %1 bytes instead of 3").arg(length));
                }
                const std::uint32_t usPerQuarter = std::uint32_t(data[pos]) << 16 |
                                                   std::uint32_t(data[pos + 1]) << 8 |
                                                   std::uint32_t(data[pos + 2]);
                if (usPerQuarter == 0) {
                    return fail(eventStart, QStringLiteral("a tempo of 0 us per quarter note"));
                }
                out.tempoChanges.push_back(TempoChange{tick, usPerQuarter});
            }
            pos += length;
            if (type == kMetaEndOfTrack) {
                break;
            }
            continue;
        }

        return fail(
            eventStart,
            QStringLiteral("status byte %1 is not allowed in a track").arg(hexByte(status)));
    }
    out.lastTick = std::max(out.lastTick, tick);
    out.trackEnds.push_back(out.events.size());
    return {};
}

Result<Timebase> readDivision(std::uint16_t division)
{
    Timebase timebase;
    if ((division & 0x8000) == 0) {
        if (division == 0) {
            return damaged(QStringLiteral("its division is 0 ticks per quarter note"));
        }
        timebase.unitsPerUs = division;
        return timebase;
    }
    const int framesPerSecond = -int(static_cast<std::int8_t>(division >> 8));
    const int ticksPerFrame = division & 0xFF;
    if (framesPerSecond != 24 && framesPerSecond != 25 && framesPerSecond != 29 &&
        framesPerSecond != 30) {
        return damaged(QStringLiteral("its SMPTE division has %1 frames per second; only 24, 25, "
                                      "29 (29.97) and 30 exist")
                           .arg(framesPerSecond));
    }
    if (ticksPerFrame == 0) {
        return damaged(QStringLiteral("its SMPTE division has 0 ticks per frame"));
    }
    timebase.smpte = true;
    if (framesPerSecond == 29) {
        // 29.97 frames per second: 1e6 / (29.97 * ticksPerFrame) = 1e8 / (2997 * ticksPerFrame).
        timebase.smpteUnitsPerTick = 100'000'000;
        timebase.unitsPerUs = std::int64_t(2997) * ticksPerFrame;
    } else {
        timebase.smpteUnitsPerTick = 1'000'000;
        timebase.unitsPerUs = std::int64_t(framesPerSecond) * ticksPerFrame;
    }
    return timebase;
}

// Units of `tick` within `segment`, or false when they exceed `limitUnits` (no overflow: the
// limit is checked before multiplying).
bool unitsAt(const TempoSegment &segment, std::int64_t tick, std::int64_t limitUnits,
             std::int64_t &units)
{
    const std::int64_t ticks = tick - segment.tick;
    if (ticks > (limitUnits - segment.units) / segment.unitsPerTick) {
        return false;
    }
    units = segment.units + ticks * segment.unitsPerTick;
    return true;
}

MediaError tooLong()
{
    return damaged(QStringLiteral("its events run past 24 hours"));
}

// The tempo map as segments sorted by tick, the first at tick 0.
Result<std::vector<TempoSegment>>
buildTempoMap(const Timebase &timebase, std::vector<TempoChange> &changes, std::int64_t limitUnits)
{
    std::vector<TempoSegment> segments;
    if (timebase.smpte) {
        segments.push_back(TempoSegment{0, 0, timebase.smpteUnitsPerTick});
        return segments;
    }
    segments.reserve(changes.size() + 1);
    segments.push_back(TempoSegment{0, 0, kDefaultUsPerQuarter});
    // Collected track by track, so a stable sort keeps track order at equal ticks.
    std::stable_sort(changes.begin(), changes.end(),
                     [](const TempoChange &a, const TempoChange &b) { return a.tick < b.tick; });
    for (const TempoChange &change : changes) {
        TempoSegment &last = segments.back();
        if (change.tick == last.tick) {
            last.unitsPerTick = change.usPerQuarter;
            continue;
        }
        std::int64_t units = 0;
        if (!unitsAt(last, change.tick, limitUnits, units)) {
            return tooLong();
        }
        segments.push_back(TempoSegment{change.tick, units, change.usPerQuarter});
    }
    return segments;
}

// Replaces the ticks in events[begin, end) (non-decreasing) by microseconds. Every tick is at
// most one already checked against the limit.
void applyTempoMap(std::vector<MidiEvent> &events, std::size_t begin, std::size_t end,
                   const std::vector<TempoSegment> &segments, std::int64_t unitsPerUs)
{
    std::size_t current = 0;
    for (std::size_t i = begin; i < end; ++i) {
        MidiEvent &event = events[i];
        const std::int64_t tick = event.timeUs;
        if (current + 1 < segments.size() && segments[current + 1].tick <= tick) {
            const auto next = std::upper_bound(
                segments.begin() + std::ptrdiff_t(current) + 1, segments.end(), tick,
                [](std::int64_t t, const TempoSegment &segment) { return t < segment.tick; });
            current = std::size_t(next - segments.begin()) - 1;
        }
        const TempoSegment &segment = segments[current];
        event.timeUs = (segment.units + (tick - segment.tick) * segment.unitsPerTick) / unitsPerUs;
    }
}

// Merges the per-track runs of `events` (each sorted by time, bounded by `trackEnds`) into one
// list sorted by time; on equal times earlier runs come first, so track order is kept. The runs
// are merged as positions (4 bytes an event) and the events then moved into their order in
// place, so that a long file needs no second copy of its events (24 bytes each, 7 MB an hour).
void mergeTracks(std::vector<MidiEvent> &events, const std::vector<std::size_t> &trackEnds)
{
    std::vector<std::size_t> bounds{0};
    for (std::size_t trackEnd : trackEnds) {
        if (trackEnd != bounds.back()) {
            bounds.push_back(trackEnd);
        }
    }
    if (bounds.size() <= 2) {
        return;
    }
    // At most kMaxEvents events, so their positions fit in 32 bits.
    std::vector<std::uint32_t> order(events.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = std::uint32_t(i);
    }
    const auto earlier = [&events](std::uint32_t a, std::uint32_t b) {
        return events[a].timeUs < events[b].timeUs;
    };
    std::vector<std::uint32_t> buffer(order.size());
    std::vector<std::uint32_t> *source = &order;
    std::vector<std::uint32_t> *target = &buffer;
    while (bounds.size() > 2) {
        std::vector<std::size_t> merged{0};
        for (std::size_t i = 0; i + 1 < bounds.size(); i += 2) {
            const auto first = source->begin() + std::ptrdiff_t(bounds[i]);
            const auto middle = source->begin() + std::ptrdiff_t(bounds[i + 1]);
            const auto out = target->begin() + std::ptrdiff_t(bounds[i]);
            if (i + 2 < bounds.size()) {
                const auto last = source->begin() + std::ptrdiff_t(bounds[i + 2]);
                std::merge(first, middle, middle, last, out, earlier);
                merged.push_back(bounds[i + 2]);
            } else {
                std::copy(first, middle, out);
                merged.push_back(bounds[i + 1]);
            }
        }
        bounds = std::move(merged);
        std::swap(source, target);
    }
    if (source != &order) {
        order.swap(buffer);
    }
    buffer = std::vector<std::uint32_t>();
    // Position k takes the event at order[k]; each cycle of that permutation is followed once,
    // and a place is marked done by pointing it at itself.
    for (std::size_t start = 0; start < order.size(); ++start) {
        if (order[start] == start) {
            continue;
        }
        const MidiEvent held = events[start];
        std::size_t k = start;
        while (order[k] != start) {
            const std::size_t next = order[k];
            events[k] = events[next];
            order[k] = std::uint32_t(k);
            k = next;
        }
        events[k] = held;
        order[k] = std::uint32_t(k);
    }
}

struct TrackChunk {
    std::size_t begin = 0;
    std::size_t end = 0;
};

// `owner`, where given, holds `bytes` and is emptied once the tracks are read, before the
// events are put in order: a long file's bytes and its sorted events need not be held at once.
Result<MidiSequence> parse(QByteArrayView bytes, Keep keep, QByteArray *owner = nullptr)
{
    const auto *data = reinterpret_cast<const std::uint8_t *>(bytes.data());
    const std::size_t size = std::size_t(bytes.size());

    if (size == 0) {
        return notMidi(QStringLiteral("is empty, not a MIDI file"));
    }
    if (size < 4 || std::memcmp(data, "MThd", 4) != 0) {
        return notMidi(
            QStringLiteral("is not a MIDI file: it does not start with \u201cMThd\u201d"));
    }
    if (size < kChunkHeaderBytes) {
        return damaged(QStringLiteral("the header chunk is cut off (truncated)"));
    }
    const std::uint32_t headerLength = bigEndian32(data + 4);
    if (headerLength < kMinHeaderLength) {
        return damaged(
            QStringLiteral("its header chunk is %1 bytes long, too short for a MIDI header")
                .arg(headerLength));
    }
    if (headerLength > size - kChunkHeaderBytes) {
        return damaged(QStringLiteral("its header chunk claims %1 bytes, the file ends after %2 "
                                      "(truncated)")
                           .arg(headerLength)
                           .arg(size - kChunkHeaderBytes));
    }
    const std::uint16_t format = bigEndian16(data + 8);
    const std::uint16_t trackCount = bigEndian16(data + 10);
    const std::uint16_t division = bigEndian16(data + 12);

    if (format == 2) {
        return notMidi(QStringLiteral("is a format 2 MIDI file (independent sequences), which "
                                      "cannot be played; only formats 0 and 1 are supported"));
    }
    if (format > 2) {
        return notMidi(
            QStringLiteral("is a MIDI file of unknown format %1; only formats 0 and 1 are "
                           "supported")
                .arg(format));
    }
    if (trackCount == 0) {
        return damaged(QStringLiteral("its header says it has no tracks"));
    }
    if (format == 0 && trackCount != 1) {
        return damaged(QStringLiteral("a format 0 file must have exactly one track, its header "
                                      "claims %1")
                           .arg(trackCount));
    }
    const auto timebase = readDivision(division);
    if (!timebase) {
        return timebase.error();
    }

    // Find the track chunks first, so that the events can be reserved in one go.
    std::vector<TrackChunk> chunks;
    chunks.reserve(std::min<std::size_t>(trackCount, size / kChunkHeaderBytes + 1));
    std::size_t pos = kChunkHeaderBytes + headerLength;
    std::size_t trackBytes = 0;
    while (chunks.size() < trackCount) {
        const std::size_t remaining = size - pos;
        if (remaining == 0) {
            return damaged(QStringLiteral("its header claims %1 tracks, the file has %2")
                               .arg(trackCount)
                               .arg(chunks.size()));
        }
        if (remaining < kChunkHeaderBytes) {
            return damaged(QStringLiteral("a chunk header at byte %1 is cut off (truncated); the "
                                          "header claims %2 tracks, the file has %3")
                               .arg(pos)
                               .arg(trackCount)
                               .arg(chunks.size()));
        }
        const bool isTrack = std::memcmp(data + pos, "MTrk", 4) == 0;
        const std::uint32_t length = bigEndian32(data + pos + 4);
        if (length > remaining - kChunkHeaderBytes) {
            if (isTrack) {
                return damaged(QStringLiteral("track %1 at byte %2 claims %3 bytes, the file ends "
                                              "after %4 (truncated)")
                                   .arg(chunks.size() + 1)
                                   .arg(pos)
                                   .arg(length)
                                   .arg(remaining - kChunkHeaderBytes));
            }
            return damaged(QStringLiteral("a chunk at byte %1 claims %2 bytes, the file ends "
                                          "after %3 (truncated)")
                               .arg(pos)
                               .arg(length)
                               .arg(remaining - kChunkHeaderBytes));
        }
        const std::size_t begin = pos + kChunkHeaderBytes;
        if (isTrack) {
            chunks.push_back(TrackChunk{begin, begin + length});
            trackBytes += length;
        }
        pos = begin + length;
    }

    Collected collected;
    collected.keep = keep;
    if (keep == Keep::Events) {
        // About three bytes per event is typical of channel messages with running status.
        collected.events.reserve(std::min(trackBytes / 3 + 1, kMaxReservedEvents));
        collected.trackEnds.reserve(chunks.size());
    }
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        auto parsed = parseTrack(data, chunks[i].begin, chunks[i].end, std::uint16_t(i), collected);
        if (!parsed) {
            return parsed.error();
        }
    }
    if (owner != nullptr) {
        *owner = QByteArray();
    }

    // The largest units count that still rounds down to kMaxTimeUs or less.
    const std::int64_t limitUnits =
        (MidiFileReader::kMaxTimeUs + 1) * timebase.value().unitsPerUs - 1;
    const auto segments = buildTempoMap(timebase.value(), collected.tempoChanges, limitUnits);
    if (!segments) {
        return segments.error();
    }
    const auto &map = segments.value();
    const auto lastSegment = std::upper_bound(map.begin(), map.end(), collected.lastTick,
                                              [](std::int64_t t, const TempoSegment &segment) {
                                                  return t < segment.tick;
                                              }) -
                             1;
    std::int64_t lengthUnits = 0;
    if (!unitsAt(*lastSegment, collected.lastTick, limitUnits, lengthUnits)) {
        return tooLong();
    }

    MidiSequence sequence;
    sequence.format = format;
    sequence.trackCount = trackCount;
    sequence.lengthUs = lengthUnits / timebase.value().unitsPerUs;
    if (keep == Keep::LengthOnly) {
        return sequence;
    }
    std::size_t trackBegin = 0;
    for (std::size_t trackEnd : collected.trackEnds) {
        applyTempoMap(collected.events, trackBegin, trackEnd, map, timebase.value().unitsPerUs);
        trackBegin = trackEnd;
    }
    mergeTracks(collected.events, collected.trackEnds);
    sequence.events = std::move(collected.events);
    sequence.sysexData = std::move(collected.sysexData);
    return sequence;
}

} // namespace

Result<MidiSequence> MidiFileReader::read(QByteArrayView bytes)
{
    auto parsed = parse(bytes, Keep::Events);
    if (!parsed) {
        return withSubject(parsed.error(), QStringLiteral("The MIDI data"));
    }
    return parsed;
}

Result<MidiSequence> MidiFileReader::readAndRelease(QByteArray &bytes)
{
    auto parsed = parse(QByteArrayView(bytes), Keep::Events, &bytes);
    bytes = QByteArray();
    if (!parsed) {
        return withSubject(parsed.error(), QStringLiteral("The MIDI data"));
    }
    return parsed;
}

Result<MidiSequence> MidiFileReader::scan(QByteArrayView bytes)
{
    auto parsed = parse(bytes, Keep::LengthOnly);
    if (!parsed) {
        return withSubject(parsed.error(), QStringLiteral("The MIDI data"));
    }
    return parsed;
}

namespace {

// Reads the whole file at `path` after the checks readFile() documents; `subject` names it for
// messages.
Result<QByteArray> readMidiFile(const QString &path, QString &subject)
{
    if (path.isEmpty()) {
        return makeError(ErrorKind::FileNotFound, QStringLiteral("No file name was given."));
    }
    const QFileInfo info(path);
    if (!info.exists()) {
        return makeError(ErrorKind::FileNotFound,
                         QStringLiteral("The file %1 does not exist.").arg(quoted(path)));
    }
    if (info.isDir()) {
        return makeError(ErrorKind::FileNotFound,
                         QStringLiteral("%1 is a folder, not a MIDI file.").arg(quoted(path)));
    }
    if (!info.isFile()) {
        return makeError(ErrorKind::UnsupportedFormat,
                         QStringLiteral("%1 is not a regular file.").arg(quoted(path)));
    }
    subject = QStringLiteral("The file %1").arg(quoted(info.fileName()));
    const qint64 size = info.size();
    if (size > MidiFileReader::kMaxFileBytes) {
        return makeError(ErrorKind::UnsupportedFormat,
                         QStringLiteral("%1 is %2 bytes long, too large for a MIDI file (at most "
                                        "%3 bytes).")
                             .arg(subject)
                             .arg(size)
                             .arg(MidiFileReader::kMaxFileBytes));
    }

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return makeError(ErrorKind::FileUnreadable,
                         QStringLiteral("%1 cannot be read: %2").arg(subject, file.errorString()));
    }
    // Exactly the size seen above: a file that grows meanwhile cannot make this read more.
    QByteArray bytes(size, Qt::Uninitialized);
    qint64 done = 0;
    while (done < size) {
        const qint64 got = file.read(bytes.data() + done, size - done);
        if (got < 0) {
            return makeError(
                ErrorKind::FileUnreadable,
                QStringLiteral("%1 cannot be read: %2").arg(subject, file.errorString()));
        }
        if (got == 0) {
            return makeError(ErrorKind::FileUnreadable,
                             QStringLiteral("%1 cannot be read: it became shorter while being "
                                            "read.")
                                 .arg(subject));
        }
        done += got;
    }

    return bytes;
}

} // namespace

Result<MidiSequence> MidiFileReader::readFile(const QString &path)
{
    QString subject;
    const Result<QByteArray> bytes = readMidiFile(path, subject);
    if (!bytes) {
        return bytes.error();
    }
    auto parsed = parse(QByteArrayView(bytes.value()), Keep::Events);
    if (!parsed) {
        return withSubject(parsed.error(), subject);
    }
    return parsed;
}

Result<MidiFileReader::ScannedFile> MidiFileReader::scanFile(const QString &path)
{
    QString subject;
    Result<QByteArray> bytes = readMidiFile(path, subject);
    if (!bytes) {
        return bytes.error();
    }
    const auto parsed = parse(QByteArrayView(bytes.value()), Keep::LengthOnly);
    if (!parsed) {
        return withSubject(parsed.error(), subject);
    }
    return ScannedFile{std::move(bytes).value(), parsed.value().lengthUs};
}

} // namespace zyr::media
