// Fuzz target: the MIDI file reader (MidiFileReader::read), the Sequencer's reader of files.
//
// Besides the sanitizers, it aborts when a result breaks what MidiSequence and the reader
// promise: events sorted by time and then track, SysEx ranges inside sysexData, times within the
// length and the 24-hour limit, data bytes and statuses in range, and an error always with a
// kind (UnsupportedFormat or CorruptMedia) and a message. And data after the last track the
// header announces is ignored: a file that reads reads the same with bytes appended.

#include "FuzzCheck.h"

#include "media/devices/MidiFileReader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

using zyr::media::ErrorKind;
using zyr::media::MidiEvent;
using zyr::media::MidiFileReader;
using zyr::media::MidiSequence;

bool keepsPromises(const MidiSequence &sequence)
{
    if ((sequence.format != 0 && sequence.format != 1) || sequence.trackCount < 1 ||
        (sequence.format == 0 && sequence.trackCount != 1)) {
        return false;
    }
    if (sequence.lengthUs < 0 || sequence.lengthUs > MidiFileReader::kMaxTimeUs ||
        sequence.sysexData.size() > MidiFileReader::kMaxSysexBytes ||
        sequence.events.size() > MidiFileReader::kMaxEvents) {
        return false;
    }
    const MidiEvent *previous = nullptr;
    for (const MidiEvent &event : sequence.events) {
        if (event.timeUs < 0 || event.timeUs > sequence.lengthUs ||
            event.track >= sequence.trackCount) {
            return false;
        }
        if (previous != nullptr &&
            (event.timeUs < previous->timeUs ||
             (event.timeUs == previous->timeUs && event.track < previous->track))) {
            return false;
        }
        previous = &event;
        if (event.status == 0xF0 || event.status == 0xF7) {
            const std::size_t end = std::size_t(event.sysexOffset) + event.sysexLength;
            if (end > sequence.sysexData.size()) {
                return false;
            }
            if (event.status == 0xF0 &&
                (event.sysexLength == 0 || sequence.sysexData[event.sysexOffset] != 0xF0)) {
                return false;
            }
        } else if (event.status < 0x80 || event.status > 0xEF || event.data1 > 0x7F ||
                   event.data2 > 0x7F) {
            return false;
        }
    }
    return true;
}

bool sameEvent(const MidiEvent &a, const MidiEvent &b)
{
    return a.timeUs == b.timeUs && a.status == b.status && a.data1 == b.data1 &&
           a.data2 == b.data2 && a.sysexOffset == b.sysexOffset && a.sysexLength == b.sysexLength &&
           a.track == b.track;
}

bool sameSequence(const MidiSequence &a, const MidiSequence &b)
{
    return a.format == b.format && a.trackCount == b.trackCount && a.lengthUs == b.lengthUs &&
           a.sysexData == b.sysexData &&
           std::equal(a.events.begin(), a.events.end(), b.events.begin(), b.events.end(),
                      sameEvent);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto result = MidiFileReader::read(QByteArrayView(data, qsizetype(size)));
    if (!result.ok()) {
        ZYR_FUZZ_CHECK(!result.error().message.isEmpty());
        ZYR_FUZZ_CHECK(result.error().kind == ErrorKind::CorruptMedia ||
                       result.error().kind == ErrorKind::UnsupportedFormat);
        return 0;
    }
    ZYR_FUZZ_CHECK(keepsPromises(result.value()));

    // The same file with a few bytes after it: a foreign chunk's start, or garbage.
    QByteArray longer(reinterpret_cast<const char *>(data), qsizetype(size));
    longer.append("MTrk\xFF\xFF\xFF\xFF\x00\x90", 10);
    const auto again = MidiFileReader::read(QByteArrayView(longer));
    ZYR_FUZZ_CHECK(again.ok());
    ZYR_FUZZ_CHECK(sameSequence(result.value(), again.value()));
    return 0;
}
