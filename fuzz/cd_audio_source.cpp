// Fuzz target: the CDAudio device's own handling of a table of contents and of what a drive
// returns (CdToc and CdAudioSource): any layout of audio and data tracks, a drive that reads
// some sectors, fewer than asked, or fails in each of its ways, and reads, seeks and output
// formats in any order.
//
// The input: the tracks (count, then per track its kind, gap and length), a fault tape (a
// length byte and that many bytes, one used per read the drive is asked for, then reads succeed),
// and the operations. Promises checked besides the sanitizers:
//   - the drive is asked only for sectors inside one audio track, 1 to kSectorsPerRead at a time;
//   - read() gives at most what was asked, 0 only at the end of the audio timeline, and every
//     frame it gives is the one the drive holds at that place of the timeline, converted to the
//     output's channels, or silence once sectors have been counted as silenced;
//   - a failure carries a message and one of the drive's kinds (never Internal from a drive that
//     keeps its promises), and repeats until the next seek;
//   - a seek lands on the frame asked for, clamped to the audio timeline;
//   - the track starts and audioTrackAt() agree with the tracks.

#include "FuzzCheck.h"

#include "media/devices/CdAudioSource.h"

#include <memory>
#include <optional>
#include <vector>

using namespace zyr::media;
using zyr::fuzz::FuzzInput;

namespace {

// The sample a fake disc holds: different for every sector, frame and channel.
std::int16_t sampleAt(std::int32_t sector, int frame, int channel)
{
    const std::int64_t n = (std::int64_t(sector) * CdToc::kFramesPerSector + frame) * 2 + channel;
    return static_cast<std::int16_t>((n * 7919) % 65521 - 32760);
}

struct Tape {
    std::vector<std::uint8_t> faults;
    std::size_t next = 0;
    std::optional<std::uint8_t> take()
    {
        if (next >= faults.size())
            return std::nullopt;
        return faults[next++];
    }
};

class FakeReader : public CdDrive::SectorReader {
public:
    FakeReader(const CdToc &toc, std::shared_ptr<Tape> tape) : m_toc(toc), m_tape(std::move(tape))
    {
    }

    Result<int> readSectors(std::int32_t firstSector, int count, std::int16_t *dst) override
    {
        ZYR_FUZZ_CHECK(count >= 1 && count <= CdAudioSource::kSectorsPerRead);
        bool inAudioTrack = false;
        for (const CdTrack &t : m_toc.tracks)
            inAudioTrack = inAudioTrack || (t.audio && firstSector >= t.firstSector &&
                                            firstSector + count <= t.endSector());
        ZYR_FUZZ_CHECK(inAudioTrack);

        int read = count;
        if (const auto fault = m_tape->take()) {
            switch (*fault % 8) {
            case 4:
                read = 1 + (*fault / 8) % count;
                break;
            case 5:
                return makeError(ErrorKind::FileUnreadable, QStringLiteral("unreadable"));
            case 6:
                return makeError(ErrorKind::CorruptMedia, QStringLiteral("past the image"));
            case 7:
                return makeError(ErrorKind::DeviceUnavailable, QStringLiteral("no disc"));
            default:
                break;
            }
        }
        for (int s = 0; s < read; ++s)
            for (int f = 0; f < CdToc::kFramesPerSector; ++f)
                for (int c = 0; c < CdToc::kChannels; ++c)
                    *dst++ = sampleAt(firstSector + s, f, c);
        return read;
    }

private:
    const CdToc m_toc;
    std::shared_ptr<Tape> m_tape;
};

class FakeDrive : public CdDrive {
public:
    FakeDrive(CdToc toc, std::shared_ptr<Tape> tape, bool openFails)
        : m_toc(std::move(toc)), m_tape(std::move(tape)), m_openFails(openFails)
    {
    }
    QString source() const override { return QStringLiteral("fake"); }
    Result<CdToc> readToc() override { return m_toc; }
    Result<std::unique_ptr<SectorReader>> openReader() override
    {
        if (m_openFails)
            return makeError(ErrorKind::DeviceUnavailable, QStringLiteral("No disc in the drive."));
        return std::unique_ptr<SectorReader>(std::make_unique<FakeReader>(m_toc, m_tape));
    }
    Result<void> openTray() override { return {}; }
    Result<void> closeTray() override { return {}; }

private:
    const CdToc m_toc;
    std::shared_ptr<Tape> m_tape;
    const bool m_openFails;
};

CdToc tocFrom(FuzzInput &in)
{
    CdToc toc;
    const int count = 1 + in.u8() % 8;
    std::int32_t sector = in.u8();
    for (int i = 0; i < count; ++i) {
        const std::uint8_t kind = in.u8();
        const std::int32_t sectors = 1 + in.u8() % 48;
        toc.tracks.push_back({1 + i, sector, sectors, (kind & 3) != 0});
        sector += sectors;
    }
    return toc;
}

// The frame the source should give at `frame` of the timeline, as `channels` samples.
void expectedFrame(const CdToc &toc, std::int64_t frame, int channels, float *out)
{
    const CdToc::Position at = toc.locate(frame);
    const float left = float(sampleAt(at.sector, at.frameInSector, 0)) / 32768.0f;
    const float right = float(sampleAt(at.sector, at.frameInSector, 1)) / 32768.0f;
    if (channels == 1) {
        out[0] = 0.5f * (left + right);
        return;
    }
    out[0] = left;
    out[1] = right;
    for (int c = 2; c < channels; ++c)
        out[c] = 0.0f;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput in(data, size);
    const CdToc toc = tocFrom(in);
    auto tape = std::make_shared<Tape>();
    for (int n = in.u8(); n > 0; --n)
        tape->faults.push_back(in.u8());
    const bool openFails = in.u8() == 0xFF;

    // The timeline's bookkeeping agrees with the tracks.
    const std::vector<CdTrack> audio = toc.audioTracks();
    const std::vector<std::int64_t> starts = toc.audioTrackStartFrames();
    ZYR_FUZZ_CHECK(starts.size() == audio.size());
    for (std::size_t i = 0; i < starts.size(); ++i) {
        ZYR_FUZZ_CHECK(toc.audioTrackAt(starts[i]) == int(i));
        ZYR_FUZZ_CHECK(toc.locate(starts[i]).sector == audio[i].firstSector);
        ZYR_FUZZ_CHECK(toc.locate(starts[i]).audioTrack == int(i));
    }
    ZYR_FUZZ_CHECK(toc.audioTrackAt(toc.audioFrames()) == int(audio.size()) - 1);

    CdAudioSource source(std::make_shared<FakeDrive>(toc, tape, openFails), toc);
    ZYR_FUZZ_CHECK(source.lengthFrames() == toc.audioFrames());
    std::int64_t frame = 0;
    int channels = CdToc::kChannels;
    std::optional<MediaError> failure;
    std::vector<float> buffer;
    std::vector<float> want(AudioFormat::kMaxChannels);

    for (int steps = 0; !in.empty() && steps < 48; ++steps) {
        switch (in.u8() % 4) {
        case 0:
        case 1: {
            const std::size_t maxFrames = in.u16() % 6000;
            buffer.assign(maxFrames * std::size_t(channels), 7.0f);
            const Result<std::size_t> got = source.read(buffer.data(), maxFrames);
            if (!got.ok()) {
                const MediaError &e = got.error();
                ZYR_FUZZ_CHECK(!e.message.isEmpty());
                ZYR_FUZZ_CHECK(e.kind == ErrorKind::FileUnreadable ||
                               e.kind == ErrorKind::CorruptMedia ||
                               e.kind == ErrorKind::DeviceUnavailable);
                ZYR_FUZZ_CHECK(!failure ||
                               (failure->kind == e.kind && failure->message == e.message));
                failure = e;
                break;
            }
            ZYR_FUZZ_CHECK(!failure);
            const std::size_t n = got.value();
            ZYR_FUZZ_CHECK(n <= maxFrames);
            ZYR_FUZZ_CHECK(n > 0 || maxFrames == 0 || frame == source.lengthFrames());
            // A silenced sector may have been read by an earlier read() and buffered since.
            const bool silenced = source.silencedSectors() > 0;
            for (std::size_t i = 0; i < n; ++i) {
                expectedFrame(toc, frame + std::int64_t(i), channels, want.data());
                const float *have = buffer.data() + i * std::size_t(channels);
                bool same = true;
                bool silent = true;
                for (int c = 0; c < channels; ++c) {
                    same = same && have[c] == want[std::size_t(c)];
                    silent = silent && have[c] == 0.0f;
                }
                ZYR_FUZZ_CHECK(same || (silent && silenced));
            }
            frame += std::int64_t(n);
            break;
        }
        case 2: {
            const std::int64_t to = std::int64_t(std::int32_t(in.u32()) % 400000);
            ZYR_FUZZ_CHECK(source.seekToFrame(to).ok());
            frame = std::clamp<std::int64_t>(to, 0, source.lengthFrames());
            failure.reset();
            break;
        }
        default: {
            const AudioFormat format{in.flag() ? CdToc::kSampleRate : int(in.u32() % 400000),
                                     int(in.u8() % 10)};
            const Result<void> set = source.setOutputFormat(format);
            ZYR_FUZZ_CHECK(set.ok() ==
                           (format.isValid() && format.sampleRate == CdToc::kSampleRate));
            if (set.ok())
                channels = format.channels;
            break;
        }
        }
    }
    return 0;
}
