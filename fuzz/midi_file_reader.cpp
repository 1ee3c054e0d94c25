// libFuzzer entry point for MidiFileReader::read(). Not part of the default build; build it with
// clang, for example:
//
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -Isrc \
//     fuzz/midi_file_reader_fuzzer.cpp src/media/devices/MidiFileReader.cpp \
//     $(pkg-config --cflags --libs Qt6Core) -o midi_file_reader_fuzzer
//   ./midi_file_reader_fuzzer -max_len=4096 corpus/
//
// Besides the sanitizers, it aborts when a result breaks what MidiSequence and the reader
// promise: events sorted by time and then track, SysEx ranges inside sysexData, times within the
// length and the 24-hour limit, and an error always with a kind and a message.

#include "media/devices/MidiFileReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto result = MidiFileReader::read(QByteArrayView(data, qsizetype(size)));
    if (result.ok()) {
        if (!keepsPromises(result.value())) {
            std::abort();
        }
    } else if (result.error().message.isEmpty() ||
               (result.error().kind != ErrorKind::CorruptMedia &&
                result.error().kind != ErrorKind::UnsupportedFormat)) {
        std::abort();
    }
    return 0;
}
