#pragma once
// A Standard MIDI File as the Sequencer device plays it: the channel and SysEx events of all
// tracks merged into one list on a microsecond time line. Meta events are not kept; the tempo
// changes among them are already applied to the event times. MidiFileReader makes these.
//
// Threads: plain values; copy or share them read-only between threads freely.

#include <cstdint>
#include <vector>

namespace zyr::media {

struct MidiEvent {
    // Absolute time from the start of the sequence in microseconds, through the tempo map,
    // rounded down to the microsecond.
    std::int64_t timeUs = 0;
    // 0x80..0xEF for channel messages (note-on with velocity 0 is kept as a note-on), 0xF0 for a
    // SysEx message and 0xF7 for a SysEx escape packet.
    std::uint8_t status = 0;
    std::uint8_t data1 = 0; // channel messages: the first data byte
    std::uint8_t data2 = 0; // channel messages with two data bytes: the second; 0 otherwise
    // SysEx only: where the message lies in MidiSequence::sysexData. An F0 message starts with
    // its F0 byte followed by the bytes the file holds after the length (normally ending in F7);
    // an F7 packet is exactly the bytes after its length, without a leading F7.
    std::uint32_t sysexOffset = 0;
    std::uint32_t sysexLength = 0;
    // Index of the track chunk the event came from, counting from 0 in file order.
    std::uint16_t track = 0;
};

struct MidiSequence {
    int format = 0;     // 0 or 1
    int trackCount = 0; // track chunks read, as the header states them
    // Channel and SysEx events only, sorted by timeUs. Events at the same microsecond keep the
    // order of their tracks (track 0 first) and, within a track, their order in the file.
    std::vector<MidiEvent> events;
    std::vector<std::uint8_t> sysexData;
    // Time of the last event of any kind in any track, meta events such as end-of-track
    // included, so trailing silence before an end-of-track counts. 0 for a sequence of empty
    // tracks. Never negative.
    std::int64_t lengthUs = 0;

    // lengthUs in milliseconds, rounded to the nearest; half a millisecond rounds up.
    std::int64_t lengthMs() const { return (lengthUs + 500) / 1000; }
};

} // namespace zyr::media
