// Fuzz target: a cue/bin disc image opened through LibcdioDrive, as the CDAudio device opens one:
// the table of contents read and checked, a reader opened, and sectors read at the start and end
// of each audio track and past the end.
//
// libcdio parses the cue sheet; the kit's own part is the checks around it (a sheet listing no
// track refused before libcdio sees it, a TOC that contradicts itself or the bin refused, reads
// kept inside the bin). libcdio is not built with coverage, so the fuzzer steers by the kit's
// branches only and finds libcdio's faults only where the sanitizers' interceptors see them.
//
// The input: the bin's length in sectors (first byte, up to 63) and odd bytes after them
// (second byte, 0 or a partial sector), a flags byte (read through paranoia or directly; open
// the cue sheet or the bin), then the cue sheet's text. The bin holds the test images' signal:
// in sector s, frame f, left s + 1 and right 300 + 50 f. Promises checked besides the
// sanitizers:
//   - a TOC read has tracks numbered one after another, each starting at or after sector 0 and
//     at least one sector long, each ending where the next starts, at least one audio track, and
//     the last track ending within the bin;
//   - a failure carries a message and one of the kinds the drive documents;
//   - a reader opens wherever the TOC could be read; it gives 1 to `count` sectors holding what
//     the bin holds there, or an error with a message; sectors before 0 or at and after the
//     lead-out are refused as CorruptMedia.

#include "FuzzCheck.h"

#include "media/devices/CdAudioSource.h"
#include "media/devices/LibcdioDrive.h"

#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <vector>

using namespace zyr::media;
using zyr::fuzz::FuzzInput;

namespace {

constexpr int kMaxBinSectors = 63;

QByteArray binOf(int sectors, int extraBytes)
{
    QByteArray bin(qsizetype(sectors) * CdToc::kBytesPerSector + extraBytes, '\0');
    auto *samples = reinterpret_cast<std::int16_t *>(bin.data());
    for (int s = 0; s < sectors; ++s) {
        for (int f = 0; f < CdToc::kFramesPerSector; ++f) {
            samples[(s * CdToc::kFramesPerSector + f) * 2] = static_cast<std::int16_t>(s + 1);
            samples[(s * CdToc::kFramesPerSector + f) * 2 + 1] =
                static_cast<std::int16_t>(300 + 50 * f);
        }
    }
    return bin;
}

bool isDriveError(ErrorKind kind)
{
    return kind == ErrorKind::CorruptMedia || kind == ErrorKind::UnsupportedFormat ||
           kind == ErrorKind::FileUnreadable;
}

void checkRead(CdDrive::SectorReader &reader, std::int32_t sector, int count,
               std::int32_t binSectors)
{
    std::vector<std::int16_t> buffer(std::size_t(count) * CdToc::kSamplesPerSector);
    const Result<int> got = reader.readSectors(sector, count, buffer.data());
    if (!got.ok()) {
        ZYR_FUZZ_CHECK(!got.error().message.isEmpty());
        ZYR_FUZZ_CHECK(got.error().kind == ErrorKind::CorruptMedia ||
                       got.error().kind == ErrorKind::FileUnreadable);
        return;
    }
    ZYR_FUZZ_CHECK(got.value() >= 1 && got.value() <= count);
    ZYR_FUZZ_CHECK(sector >= 0 && sector + got.value() <= binSectors);
    for (int s = 0; s < got.value(); ++s) {
        const std::int16_t *p = buffer.data() + std::size_t(s) * CdToc::kSamplesPerSector;
        for (int f = 0; f < CdToc::kFramesPerSector; ++f) {
            ZYR_FUZZ_CHECK(p[2 * f] == sector + s + 1);
            ZYR_FUZZ_CHECK(p[2 * f + 1] == 300 + 50 * f);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir dir;
    ZYR_FUZZ_CHECK(dir.isValid());
    FuzzInput in(data, size);
    const int binSectors = in.u8() % (kMaxBinSectors + 1);
    const int extraBytes = in.u8() % 2 == 0 ? 0 : 1000;
    const std::uint8_t flags = in.u8();
    const QByteArray cue = in.rest();

    const QString cuePath = dir.filePath(QStringLiteral("disc.cue"));
    const QString binPath = dir.filePath(QStringLiteral("disc.bin"));
    {
        QFile cueFile(cuePath);
        QFile binFile(binPath);
        ZYR_FUZZ_CHECK(cueFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ZYR_FUZZ_CHECK(cueFile.write(cue) == cue.size());
        ZYR_FUZZ_CHECK(binFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
        const QByteArray bin = binOf(binSectors, extraBytes);
        ZYR_FUZZ_CHECK(binFile.write(bin) == bin.size());
    }

    const auto method =
        (flags & 1) != 0 ? LibcdioDrive::ReadMethod::Automatic : LibcdioDrive::ReadMethod::Direct;
    LibcdioDrive drive((flags & 2) != 0 ? binPath : cuePath, method);
    const Result<CdToc> toc = drive.readToc();
    if (!toc.ok()) {
        ZYR_FUZZ_CHECK(!toc.error().message.isEmpty());
        ZYR_FUZZ_CHECK(isDriveError(toc.error().kind));
        return 0;
    }
    const std::vector<CdTrack> &tracks = toc.value().tracks;
    ZYR_FUZZ_CHECK(!tracks.empty());
    ZYR_FUZZ_CHECK(toc.value().hasAudio());
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        ZYR_FUZZ_CHECK(tracks[i].firstSector >= 0 && tracks[i].sectorCount > 0);
        if (i > 0) {
            ZYR_FUZZ_CHECK(tracks[i].number == tracks[i - 1].number + 1);
            ZYR_FUZZ_CHECK(tracks[i].firstSector == tracks[i - 1].endSector());
        }
    }
    const std::int32_t leadOut = tracks.back().endSector();
    ZYR_FUZZ_CHECK(leadOut <= binSectors);

    Result<std::unique_ptr<CdDrive::SectorReader>> reader = drive.openReader();
    ZYR_FUZZ_CHECK(reader.ok());
    CdDrive::SectorReader &r = *reader.value();
    const int count = 1 + (flags >> 2) % CdAudioSource::kSectorsPerRead;
    int checked = 0;
    for (const CdTrack &t : tracks) {
        if (!t.audio || ++checked > 4)
            continue;
        checkRead(r, t.firstSector, std::min(count, t.sectorCount), binSectors);
        checkRead(r, t.endSector() - 1, 1, binSectors);
    }
    std::vector<std::int16_t> buffer(CdToc::kSamplesPerSector);
    for (const std::int32_t outside : {-1, leadOut}) {
        const Result<int> got = r.readSectors(outside, 1, buffer.data());
        ZYR_FUZZ_CHECK(!got.ok() && got.error().kind == ErrorKind::CorruptMedia);
    }
    return 0;
}
