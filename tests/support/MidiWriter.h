#pragma once
// Writes the Standard MIDI Files the tests read: a header, track chunks built event by event and
// foreign chunks, with or without running status, plus the ways to make a file lie about itself
// (header track count, header and track lengths, raw bytes inside a track) for the files a
// reader has to refuse.
//
//     MidiWriter writer(1, 480);
//     writer.track().tempo(0, 500000).endOfTrack();
//     writer.track().noteOn(0, 0, 60, 100).noteOff(480, 0, 60).endOfTrack();
//     const QByteArray file = writer.bytes();
//
// Events are kept as events and encoded by bytes(), so one writer gives the same music with and
// without running status. Values are written as given: channels, keys and other data bytes are
// masked to their bit widths, nothing else is checked, so a test can write whatever it needs.
//
// Threads: a writer belongs to one thread; separate writers are independent.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <vector>

namespace zyr::test {

class MidiWriter {
public:
    // The events of one track chunk, in the order they are added. Every event function takes
    // the delta time in ticks since the previous event of the track and returns the track, so
    // that calls chain.
    class Track {
    public:
        Track &noteOn(std::uint32_t delta, int channel, int key, int velocity);
        Track &noteOff(std::uint32_t delta, int channel, int key, int velocity = 64);
        Track &keyPressure(std::uint32_t delta, int channel, int key, int pressure);
        Track &controlChange(std::uint32_t delta, int channel, int controller, int value);
        Track &programChange(std::uint32_t delta, int channel, int program);
        Track &channelPressure(std::uint32_t delta, int channel, int pressure);
        // `value` is the 14-bit bend, 8192 for the centre; written low 7 bits first.
        Track &pitchBend(std::uint32_t delta, int channel, int value);
        // `message` starts with its status byte: F0 for a SysEx message (the rest, normally
        // ending in F7, follows the length) or F7 for an escape packet.
        Track &sysex(std::uint32_t delta, const QByteArray &message);
        Track &meta(std::uint32_t delta, std::uint8_t type, const QByteArray &body);
        Track &tempo(std::uint32_t delta, std::uint32_t usPerQuarter);
        Track &endOfTrack(std::uint32_t delta = 0);
        // Bytes copied into the track as they are, with no delta time of their own. The event
        // after them is written with its status byte.
        Track &raw(const QByteArray &bytes);

    private:
        friend class MidiWriter;
        enum class Kind { Channel, Other, Raw };
        struct Item {
            Kind kind = Kind::Raw;
            std::uint32_t delta = 0;
            // Channel: status and data bytes. Other: the whole event after the delta. Raw: the
            // bytes.
            QByteArray bytes;
        };

        Track &channelMessage(std::uint32_t delta, int kind, int channel, int data1,
                              std::optional<int> data2);
        QByteArray encode(bool runningStatus) const;

        std::vector<Item> m_items;
    };

    // `division` is the raw header field: ticks per quarter note, or smpteDivision().
    explicit MidiWriter(int format = 1, std::uint16_t division = 480);

    // The header field for an SMPTE division; `framesPerSecond` is 24, 25, 29 (for 29.97) or 30
    // for a valid one, anything else for a broken one.
    static std::uint16_t smpteDivision(int framesPerSecond, int ticksPerFrame);

    // Appends a track chunk and returns it; the reference stays valid as long as the writer.
    Track &track();
    int trackCount() const { return int(m_tracks.size()); }
    // Appends a chunk of another type after the chunks added so far.
    void addChunk(const QByteArray &type, const QByteArray &body);
    // Bytes after the last chunk.
    void appendTrailingBytes(const QByteArray &bytes);

    // Writes channel messages with running status from now on (off by default).
    void setRunningStatus(bool on) { m_runningStatus = on; }
    // Bytes after the 6 header bytes, counted in the header length.
    void setExtraHeaderBytes(const QByteArray &bytes) { m_extraHeaderBytes = bytes; }

    // Lies: the value written instead of the true one. The data itself is written unchanged.
    void overrideHeaderLength(std::uint32_t length) { m_headerLength = length; }
    void overrideHeaderTrackCount(std::uint16_t count) { m_headerTrackCount = count; }
    void overrideTrackLength(int trackIndex, std::uint32_t length);

    QByteArray bytes() const;
    // Writes bytes() to `path`; false when the file cannot be written.
    bool save(const QString &path) const;

    // A variable-length quantity, 7 bits a byte, most significant first. Values above
    // 0x0FFFFFFF take five bytes, which no reader should accept.
    static QByteArray vlq(std::uint32_t value);
    static QByteArray bigEndian32(std::uint32_t value);
    // The General MIDI System On message, F0 7E 7F 09 01 F7.
    static QByteArray gmReset();
    // The Roland GS reset, F0 41 10 42 12 40 00 7F 00 41 F7.
    static QByteArray gsReset();

    // Writes a format 1 file of `quarters` quarter notes at 120 beats a minute, a piano note
    // each (half a second per note), as the players' tests play it.
    static bool writeQuarterNotes(const QString &path, int quarters);

private:
    struct Chunk {
        int trackIndex = -1; // -1: a foreign chunk
        QByteArray type;
        QByteArray body;
    };

    int m_format = 1;
    std::uint16_t m_division = 480;
    bool m_runningStatus = false;
    QByteArray m_extraHeaderBytes;
    QByteArray m_trailingBytes;
    std::optional<std::uint32_t> m_headerLength;
    std::optional<std::uint16_t> m_headerTrackCount;
    std::map<int, std::uint32_t> m_trackLengths;
    std::deque<Track> m_tracks;
    std::vector<Chunk> m_chunks;
};

} // namespace zyr::test
