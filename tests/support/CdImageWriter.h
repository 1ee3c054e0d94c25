#pragma once
// Writes the CD images the tests play: a .bin of raw 2352-byte sectors and the .cue sheet that
// lists its tracks, audio tracks (TRACK nn AUDIO) carrying a signal that tells every sample's
// place on the disc, and data tracks (MODE1/2352) anywhere among them. The bin is named like
// the cue sheet (disc.cue, disc.bin), as libcdio expects.
//
// The signal: in disc sector s, frame f (0 .. 587), the left sample is s + 1 and the right one
// 300 + 50 f. A decoded sample therefore names its sector and frame exactly, so order, seeks and
// track boundaries can be checked sample by sample; no sample is zero, so silence put in for an
// unreadable sector cannot be mistaken for the disc's sound. Sector numbers fit the left
// channel up to sector 32766, a disc of seven minutes.
//
// Threads: every function is self-contained and may run on any thread.

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace zyr::test {

struct CdImageTrack {
    bool audio = true;
    std::int32_t sectors = 75; // 75 sectors a second
};

struct CdImageOptions {
    std::vector<CdImageTrack> tracks;
    // Sectors left out of the end of the bin, which the cue sheet still counts on: with more
    // than the last track holds, a later track starts past the end of the data.
    std::int32_t missingSectors = 0;
};

struct WrittenCdImage {
    QString cuePath;
    QString binPath;
    std::vector<std::int32_t> trackStarts; // first sector of each track, as the cue sheet says
    std::int32_t binSectors = 0;           // sectors actually in the bin
};

class CdImageWriter {
public:
    static constexpr int kFramesPerSector = 588;
    static constexpr int kBytesPerSector = 2352;

    // Writes `cuePath` (which must end in .cue) and the bin beside it. On failure returns
    // nothing and, when `error` is given, says why.
    static std::optional<WrittenCdImage>
    write(const QString &cuePath, const CdImageOptions &options, QString *error = nullptr);

    // The 16-bit sample written at `frame` of audio sector `sector`, `channel` 0 or 1.
    static std::int16_t sampleAt(std::int32_t sector, int frame, int channel);
    // The same as a player converting to float must produce it: sampleAt() / 32768.
    static float floatSampleAt(std::int32_t sector, int frame, int channel);
};

} // namespace zyr::test
