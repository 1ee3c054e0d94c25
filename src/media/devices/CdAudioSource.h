#pragma once
// The sound of an audio CD: its audio tracks played one after another, data tracks left out, as
// 44100 Hz float samples (the disc's 16-bit samples / 32768). Frame positions are those of the
// disc's audio timeline (see CdToc).
//
// Reading. The source opens a reader of its own on the drive at its first read, on the
// playback's worker, so that constructing it does no I/O. It asks the reader for a few sectors
// at a time. A sector the drive cannot read is asked for again with fewer sectors around it,
// then on its own; when it still fails it is played as silence. A run of more than
// kMaxSilencedSectorsInARow such sectors ends the playback with FileUnreadable "The disc cannot
// be read.". Other failures end it at once: no disc any more (DeviceUnavailable), an image
// shorter than its table of contents (CorruptMedia). After a failure every read() repeats it
// until the next seek.
//
// Output. 44100 Hz only; one channel gets the mean of left and right, more than two get left,
// right and silence.
//
// Threads: constructed on the UI thread, then used on the playback's worker only, like every
// AudioSource.

#include "media/devices/AudioSource.h"
#include "media/devices/CdDrive.h"
#include "media/devices/CdToc.h"

#include <memory>
#include <optional>
#include <vector>

namespace zyr::media {

class CdAudioSource : public AudioSource {
public:
    // Sectors asked of the drive at a time: 8 sectors (107 ms of sound) keep a drive streaming,
    // and a read() waits for no more than that much of the disc, retries aside.
    static constexpr int kSectorsPerRead = 8;
    // Reads of a lone failing sector before it is played as silence: one more try after the
    // drive's own retries sometimes succeeds once it has seeked afresh; more only stall.
    static constexpr int kLoneSectorTries = 2;
    // Silenced sectors in a row after which the disc is given up: a fifth of a second of
    // unreadable sound is damage no retry gets past, and each sector costs the drive's retries.
    static constexpr int kMaxSilencedSectorsInARow = 15;

    // Plays the audio tracks of `toc`, read from `drive`. No I/O; UI thread.
    CdAudioSource(std::shared_ptr<CdDrive> drive, CdToc toc);
    ~CdAudioSource() override;

    AudioFormat sourceFormat() const override { return {CdToc::kSampleRate, CdToc::kChannels}; }
    std::int64_t lengthFrames() const override { return m_lengthFrames; }
    Result<void> setOutputFormat(const AudioFormat &format) override;
    Result<std::size_t> read(float *dst, std::size_t maxFrames) override;
    // Only moves the position (clamped to the disc): the disc is read from there by the next
    // read(). Clears a failure.
    Result<void> seekToFrame(std::int64_t sourceFrame) override;

    // Sectors played as silence since the source was made.
    std::int64_t silencedSectors() const { return m_silencedSectors; }

private:
    // Reads the sectors from the current position on into m_sectors, at most kSectorsPerRead
    // and never past the end of the audio track.
    Result<void> fill();
    // Reads `count` sectors from `sector`, or fewer, with the retries above. Returns how many
    // sectors it put into `dst` (read, or silence for one that stayed unreadable).
    Result<int> readWithRetries(std::int32_t sector, int count, std::int16_t *dst);
    void convert(const std::int16_t *src, float *dst, std::size_t frames) const;

    std::shared_ptr<CdDrive> m_drive;
    const CdToc m_toc;
    const std::vector<CdTrack> m_audioTracks;
    const std::int64_t m_lengthFrames;
    std::unique_ptr<CdDrive::SectorReader> m_reader;
    AudioFormat m_output{CdToc::kSampleRate, CdToc::kChannels};

    std::int64_t m_frame = 0; // the next frame read() produces
    // Sectors read last: they hold audio-timeline frames [m_firstBufferedFrame, + their count).
    std::vector<std::int16_t> m_sectors;
    std::int64_t m_firstBufferedFrame = 0;
    std::optional<MediaError> m_failure;            // repeated by read() until the next seek
    std::optional<MediaError> m_failureAfterBuffer; // met by fill(), due once m_sectors is played
    int m_silencedInARow = 0;
    std::int64_t m_silencedSectors = 0;
};

} // namespace zyr::media
