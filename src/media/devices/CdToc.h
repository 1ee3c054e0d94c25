#pragma once
// The table of contents of a CD as the CDAudio device plays it. Sectors count from the disc's
// logical sector 0, where the program area starts; an audio sector holds 1/75 s of sound, 588
// stereo frames of 16-bit samples at 44100 Hz.
//
// The audio timeline is the disc's audio tracks played one after another with the data tracks
// left out: its frame 0 is the first frame of the first audio track, and its positions are what
// the device's position, length and seeks are measured in.
//
// Threads: plain values; nothing here does I/O, and every member may be used on any thread.

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>

namespace zyr::media {

// One track of a disc, as its table of contents gives it. A track's sectors run up to the next
// track's first sector (or the lead-out), so an audio track's pregap belongs to the track
// before it, as on a CD player.
struct CdTrack {
    int number = 0;
    std::int32_t firstSector = 0;
    std::int32_t sectorCount = 0;
    bool audio = false;

    std::int32_t endSector() const { return firstSector + sectorCount; }

    friend bool operator==(const CdTrack &, const CdTrack &) = default;
};

struct CdToc {
    static constexpr int kSectorsPerSecond = 75;
    static constexpr int kFramesPerSector = 588;
    static constexpr int kChannels = 2;
    static constexpr int kSampleRate = kSectorsPerSecond * kFramesPerSector;
    static constexpr int kSamplesPerSector = kFramesPerSector * kChannels;
    static constexpr int kBytesPerSector = kSamplesPerSector * 2;

    // Where a frame of the audio timeline lies on the disc.
    struct Position {
        int audioTrack = 0;      // index into audioTracks(); their count at the very end
        std::int32_t sector = 0; // the disc sector holding the frame
        int frameInSector = 0;   // 0 .. kFramesPerSector - 1
    };

    // Every track in disc order, data tracks included.
    std::vector<CdTrack> tracks;

    // The audio tracks in disc order.
    std::vector<CdTrack> audioTracks() const
    {
        std::vector<CdTrack> audio;
        std::copy_if(tracks.begin(), tracks.end(), std::back_inserter(audio),
                     [](const CdTrack &t) { return t.audio; });
        return audio;
    }

    bool hasAudio() const
    {
        return std::any_of(tracks.begin(), tracks.end(), [](const CdTrack &t) { return t.audio; });
    }

    // Length of the audio timeline.
    std::int64_t audioSectors() const
    {
        std::int64_t sectors = 0;
        for (const CdTrack &t : tracks) {
            if (t.audio)
                sectors += t.sectorCount;
        }
        return sectors;
    }
    std::int64_t audioFrames() const { return audioSectors() * kFramesPerSector; }

    // Where each audio track starts on the audio timeline, in frames: one entry per entry of
    // audioTracks(), the first 0. For Prev and Next.
    std::vector<std::int64_t> audioTrackStartFrames() const
    {
        std::vector<std::int64_t> starts;
        std::int64_t frame = 0;
        for (const CdTrack &t : tracks) {
            if (!t.audio)
                continue;
            starts.push_back(frame);
            frame += std::int64_t(t.sectorCount) * kFramesPerSector;
        }
        return starts;
    }

    // The index into audioTracks() of the track playing at `frame` of the audio timeline; the
    // last track from its end on, -1 only for a disc without audio.
    int audioTrackAt(std::int64_t frame) const
    {
        const std::vector<std::int64_t> starts = audioTrackStartFrames();
        if (starts.empty())
            return -1;
        const auto after = std::upper_bound(starts.begin(), starts.end(), frame);
        return after == starts.begin() ? 0 : int(after - starts.begin()) - 1;
    }

    // Where `frame` (clamped to 0 .. audioFrames()) lies on the disc. audioFrames() itself, the
    // end, maps to the end sector of the last audio track with audioTrack past the last index.
    Position locate(std::int64_t frame) const
    {
        Position at;
        std::int64_t remaining = std::max<std::int64_t>(0, frame);
        for (const CdTrack &t : tracks) {
            if (!t.audio)
                continue;
            const std::int64_t trackFrames = std::int64_t(t.sectorCount) * kFramesPerSector;
            if (remaining < trackFrames) {
                at.sector = t.firstSector + std::int32_t(remaining / kFramesPerSector);
                at.frameInSector = int(remaining % kFramesPerSector);
                return at;
            }
            remaining -= trackFrames;
            at.sector = t.endSector();
            ++at.audioTrack;
        }
        return at;
    }

    friend bool operator==(const CdToc &, const CdToc &) = default;
};

} // namespace zyr::media
