#pragma once
// Reads Standard MIDI Files of format 0 and 1 into a MidiSequence for the Sequencer device.
//
// The reader is strict and trusts no length field: every read is checked against the data, a
// file that lies about its own structure is refused rather than guessed at, and files built to
// exhaust memory or time (millions of events, huge SysEx messages, deltas adding up to days)
// are refused too, with the limits below.
//
// What it accepts:
//   - an "MThd" header chunk of at least 6 bytes (bytes beyond the 6 it knows are skipped),
//     format 0 with exactly one track or format 1 with at least one, and a division in ticks
//     per quarter note (1..32767) or SMPTE frames (24, 25, 29.97 written as 29, or 30 frames
//     per second, 1..255 ticks per frame);
//   - "MTrk" chunks counted as the tracks; chunks of other types skipped by their length; any
//     data after the last track the header announces ignored;
//   - channel messages with or without running status; SysEx messages (F0) and escape packets
//     (F7), which cancel running status; meta events, which cancel running status too and of
//     which only tempo (must be 3 bytes, not 0) and end-of-track mean anything. End-of-track
//     ends its track, and the bytes after it in the chunk are ignored; a track that runs to the
//     end of its chunk without one is accepted.
//
// Time. Delta times accumulate per track in ticks. With a ticks-per-quarter division, tempo
// changes from every track form one tempo map that applies to all tracks (500000 us per quarter
// until the first change; of several changes at the same tick, the last in track order wins).
// With an SMPTE division a tick lasts 1e6 / (frames per second * ticks per frame) us, 29.97 for
// the 29 code, and tempo changes are checked but do not change the time. Times are computed
// exactly in 64-bit integers from the start of the sequence and rounded down once, so many
// tempo changes do not make them drift.
//
// Threads: stateless; call it from any thread, concurrently if need be.

#include "media/core/Result.h"
#include "media/devices/MidiFile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace zyr::media {

class MidiFileReader {
public:
    // readFile() refuses larger files with UnsupportedFormat before reading them.
    static constexpr std::int64_t kMaxFileBytes = 64 * 1024 * 1024;
    // Events of any kind in all tracks together, meta events included.
    static constexpr std::size_t kMaxEvents = 4 * 1024 * 1024;
    // Bytes in MidiSequence::sysexData.
    static constexpr std::size_t kMaxSysexBytes = 16 * 1024 * 1024;
    // No event may lie later than this after the start: 24 hours.
    static constexpr std::int64_t kMaxTimeUs = std::int64_t(24) * 60 * 60 * 1000 * 1000;

    MidiFileReader() = delete;

    // Parses a whole file held in memory. Never reads outside `bytes`.
    // Errors, each with a message that says what is wrong and where (tracks count from 1 in
    // messages, byte offsets from the start of the data):
    //   UnsupportedFormat  the data does not start with "MThd" (empty data included), or it is a
    //                      MIDI file of format 2 or of a format number that does not exist;
    //   CorruptMedia       anything else that breaks the rules above: a truncated header, chunk
    //                      or event, a header that disagrees with the chunks, a bad division, a
    //                      delta or length longer than four bytes, a data byte with no running
    //                      status, a status byte F1..FE in a track, a bad tempo, or one of the
    //                      limits above exceeded.
    static Result<MidiSequence> read(QByteArrayView bytes);
    // As read(), and empties `bytes` as soon as the events are out of them, before they are put
    // in order, so that a long file is not held twice over; `bytes` is empty when it returns.
    static Result<MidiSequence> readAndRelease(QByteArray &bytes);

    // Checks the data exactly as read() does, with the same errors, and returns the sequence's
    // format, track count and length without its events: events and sysexData stay empty.
    // Cheaper than read() in time and memory; read() of the same data then cannot fail.
    static Result<MidiSequence> scan(QByteArrayView bytes);

    // Reads the file at `path` and parses it as read() does; messages name the file.
    // Errors:
    //   FileNotFound       an empty name, no such path, a directory;
    //   FileUnreadable     the file cannot be opened or read;
    //   UnsupportedFormat  not a regular file, a file above kMaxFileBytes, or as read();
    //   CorruptMedia       as read().
    static Result<MidiSequence> readFile(const QString &path);

    // A file that scan() accepted: its bytes, for read() later, and the sequence's length.
    struct ScannedFile {
        QByteArray bytes;
        std::int64_t lengthUs = 0;
    };
    // Reads the file at `path` and checks it as scan() does, with readFile()'s errors.
    static Result<ScannedFile> scanFile(const QString &path);
};

} // namespace zyr::media
