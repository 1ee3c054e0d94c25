#include "media/devices/CdAudioSource.h"

#include <algorithm>

namespace zyr::media {

namespace {

constexpr float kSampleScale = 1.0f / 32768.0f;

MediaError unreadableDisc()
{
    return makeError(ErrorKind::FileUnreadable, QStringLiteral("The disc cannot be read."));
}

} // namespace

CdAudioSource::CdAudioSource(std::shared_ptr<CdDrive> drive, CdToc toc)
    : m_drive(std::move(drive)), m_toc(std::move(toc)), m_audioTracks(m_toc.audioTracks()),
      m_lengthFrames(m_toc.audioFrames())
{
}

CdAudioSource::~CdAudioSource() = default;

Result<void> CdAudioSource::setOutputFormat(const AudioFormat &format)
{
    if (!format.isValid())
        return makeError(ErrorKind::InvalidCommand, QStringLiteral("Invalid output format."));
    if (format.sampleRate != CdToc::kSampleRate) {
        return makeError(ErrorKind::UnsupportedFormat,
                         QStringLiteral("A CD plays at %1 Hz only, not at %2 Hz.")
                             .arg(CdToc::kSampleRate)
                             .arg(format.sampleRate));
    }
    m_output = format;
    return {};
}

Result<void> CdAudioSource::seekToFrame(std::int64_t sourceFrame)
{
    m_frame = std::clamp<std::int64_t>(sourceFrame, 0, m_lengthFrames);
    m_failure.reset();
    m_failureAfterBuffer.reset();
    m_silencedInARow = 0;
    return {};
}

Result<std::size_t> CdAudioSource::read(float *dst, std::size_t maxFrames)
{
    if (m_failure)
        return *m_failure;
    const auto channels = static_cast<std::size_t>(m_output.channels);
    std::size_t produced = 0;
    while (produced < maxFrames && m_frame < m_lengthFrames) {
        const auto buffered = static_cast<std::int64_t>(m_sectors.size() / CdToc::kChannels);
        if (m_frame < m_firstBufferedFrame || m_frame >= m_firstBufferedFrame + buffered) {
            if (const Result<void> filled = fill(); !filled.ok()) {
                m_failure = filled.error();
                if (produced > 0)
                    break; // what was read is played; the failure comes with the next read
                return *m_failure;
            }
            continue;
        }
        const std::int64_t offset = m_frame - m_firstBufferedFrame;
        const std::size_t frames =
            std::min<std::size_t>(maxFrames - produced, std::size_t(buffered - offset));
        convert(m_sectors.data() + offset * CdToc::kChannels, dst + produced * channels, frames);
        produced += frames;
        m_frame += std::int64_t(frames);
    }
    return produced;
}

Result<void> CdAudioSource::fill()
{
    if (m_failureAfterBuffer) {
        const MediaError failure = *m_failureAfterBuffer;
        m_failureAfterBuffer.reset();
        return failure;
    }
    if (!m_reader) {
        Result<std::unique_ptr<CdDrive::SectorReader>> opened = m_drive->openReader();
        if (!opened.ok())
            return opened.error();
        m_reader = std::move(opened).value();
    }
    const CdToc::Position at = m_toc.locate(m_frame);
    if (at.audioTrack >= int(m_audioTracks.size()))
        return makeError(ErrorKind::Internal, QStringLiteral("Read past the end of the disc."));
    const CdTrack &track = m_audioTracks[std::size_t(at.audioTrack)];
    const int count = std::min(kSectorsPerRead, track.endSector() - at.sector);

    std::vector<std::int16_t> sectors(std::size_t(count) * CdToc::kSamplesPerSector);
    int done = 0;
    while (done < count) {
        const Result<int> got =
            readWithRetries(at.sector + done, count - done,
                            sectors.data() + std::ptrdiff_t(done) * CdToc::kSamplesPerSector);
        if (!got.ok()) {
            if (done == 0)
                return got.error();
            m_failureAfterBuffer = got.error(); // what was read before the failure is played
            break;
        }
        done += got.value();
    }
    sectors.resize(std::size_t(done) * CdToc::kSamplesPerSector);
    m_sectors = std::move(sectors);
    m_firstBufferedFrame = m_frame - at.frameInSector;
    return {};
}

Result<int> CdAudioSource::readWithRetries(std::int32_t sector, int count, std::int16_t *dst)
{
    int asked = count;
    int loneFailures = 0;
    for (;;) {
        const Result<int> got = m_reader->readSectors(sector, asked, dst);
        if (got.ok()) {
            if (got.value() < 1 || got.value() > asked) {
                return makeError(ErrorKind::Internal,
                                 QStringLiteral("The drive reported %1 sectors read of %2.")
                                     .arg(got.value())
                                     .arg(asked));
            }
            m_silencedInARow = 0;
            return got.value();
        }
        // Only a sector the drive could not read is worth another try; no disc, or an image
        // that ends early, stays that way.
        if (got.error().kind != ErrorKind::FileUnreadable)
            return got.error();
        if (asked > 1) {
            asked /= 2; // the sectors before the bad one may still come through
            continue;
        }
        if (++loneFailures < kLoneSectorTries)
            continue;
        std::fill(dst, dst + CdToc::kSamplesPerSector, std::int16_t(0));
        ++m_silencedSectors;
        if (++m_silencedInARow > kMaxSilencedSectorsInARow)
            return unreadableDisc();
        return 1;
    }
}

void CdAudioSource::convert(const std::int16_t *src, float *dst, std::size_t frames) const
{
    const int channels = m_output.channels;
    for (std::size_t i = 0; i < frames; ++i) {
        const float left = float(src[2 * i]) * kSampleScale;
        const float right = float(src[2 * i + 1]) * kSampleScale;
        float *out = dst + i * std::size_t(channels);
        if (channels == 1) {
            out[0] = 0.5f * (left + right);
            continue;
        }
        out[0] = left;
        out[1] = right;
        std::fill(out + 2, out + channels, 0.0f);
    }
}

} // namespace zyr::media
