#pragma once
// Sound recorded into memory, in the format of the sound it was recorded into: interleaved
// samples at its rate and channel count, kept as 16-bit integers when the sound itself has no
// more than 16 bits a sample, otherwise as floats. The samples live in blocks of one second, so
// growing a recording never copies what is already there, and an hour costs what an hour of
// samples costs.
//
// Threads. One thread appends; once the recording is handed on (as a shared_ptr to const) it is
// only read, from any thread.

#include "media/output/AudioFormat.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace zyr::media {

class RecordedSound {
public:
    enum class Storage { Int16, Float };

    RecordedSound(AudioFormat format, Storage storage);

    // The storage that keeps a sound of `bitsPerSample` bits without loss.
    static Storage storageFor(int bitsPerSample);

    std::int64_t frames() const { return m_frames; }

    // Adds `count` interleaved float frames at the end (16-bit storage rounds and clips them).
    void append(const float *frames, std::size_t count);

    // Copies up to `count` frames from frame `from` into `dst` as floats and returns how many
    // there were.
    std::size_t read(std::int64_t from, float *dst, std::size_t count) const;

private:
    struct Block {
        std::unique_ptr<std::int16_t[]> ints;
        std::unique_ptr<float[]> floats;
    };

    std::size_t samplesPerBlock() const;

    AudioFormat m_format;
    Storage m_storage;
    std::int64_t m_frames = 0;
    std::vector<Block> m_blocks;
};

} // namespace zyr::media
