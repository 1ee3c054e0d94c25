#include "CdImageWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <array>

namespace zyr::test {

namespace {

// Sectors before logical sector 0 that a Mode 1 header's address counts (the 2-second gap).
constexpr std::int32_t kAddressOffset = 150;
constexpr int kSyncBytes = 12;
constexpr int kUserDataBytes = 2048;
// What fills a data sector's user data: nothing like the audio signal.
constexpr char kDataFill = 0x5A;

void setError(QString *error, const QString &message)
{
    if (error != nullptr)
        *error = message;
}

quint8 bcd(int value)
{
    return quint8(((value / 10) << 4) | (value % 10));
}

QString msf(std::int32_t sector)
{
    return QStringLiteral("%1:%2:%3")
        .arg(sector / (75 * 60), 2, 10, QLatin1Char('0'))
        .arg(sector / 75 % 60, 2, 10, QLatin1Char('0'))
        .arg(sector % 75, 2, 10, QLatin1Char('0'));
}

void fillAudioSector(std::int32_t sector, char *out)
{
    for (int frame = 0; frame < CdImageWriter::kFramesPerSector; ++frame) {
        qToLittleEndian(CdImageWriter::sampleAt(sector, frame, 0), out + frame * 4);
        qToLittleEndian(CdImageWriter::sampleAt(sector, frame, 1), out + frame * 4 + 2);
    }
}

// A Mode 1 sector as a drive reads it raw: sync pattern, header with its address, user data.
// The error detection and correction bytes stay zero; nothing here checks them.
void fillDataSector(std::int32_t sector, char *out)
{
    std::fill(out, out + CdImageWriter::kBytesPerSector, '\0');
    std::fill(out + 1, out + kSyncBytes - 1, char(0xFF));
    const std::int32_t address = sector + kAddressOffset;
    out[12] = char(bcd(address / (75 * 60)));
    out[13] = char(bcd(address / 75 % 60));
    out[14] = char(bcd(address % 75));
    out[15] = 1; // mode
    std::fill(out + 16, out + 16 + kUserDataBytes, kDataFill);
}

} // namespace

std::int16_t CdImageWriter::sampleAt(std::int32_t sector, int frame, int channel)
{
    return channel == 0 ? std::int16_t(sector + 1) : std::int16_t(300 + 50 * frame);
}

float CdImageWriter::floatSampleAt(std::int32_t sector, int frame, int channel)
{
    return float(sampleAt(sector, frame, channel)) / 32768.0f;
}

std::optional<WrittenCdImage> CdImageWriter::write(const QString &cuePath,
                                                   const CdImageOptions &options, QString *error)
{
    if (!cuePath.endsWith(QLatin1String(".cue"))) {
        setError(error, QStringLiteral("%1 does not end in .cue").arg(cuePath));
        return std::nullopt;
    }
    if (options.tracks.empty() || options.tracks.size() > 99) {
        setError(error, QStringLiteral("a disc has 1 to 99 tracks"));
        return std::nullopt;
    }
    WrittenCdImage image;
    image.cuePath = cuePath;
    image.binPath = cuePath.chopped(4) + QStringLiteral(".bin");

    QByteArray cue =
        QStringLiteral("FILE \"%1\" BINARY\n").arg(QFileInfo(image.binPath).fileName()).toUtf8();
    std::int32_t totalSectors = 0;
    for (std::size_t i = 0; i < options.tracks.size(); ++i) {
        const CdImageTrack &track = options.tracks[i];
        if (track.sectors <= 0) {
            setError(error, QStringLiteral("track %1 has no sectors").arg(i + 1));
            return std::nullopt;
        }
        image.trackStarts.push_back(totalSectors);
        cue += QStringLiteral("  TRACK %1 %2\n    INDEX 01 %3\n")
                   .arg(int(i + 1), 2, 10, QLatin1Char('0'))
                   .arg(track.audio ? QStringLiteral("AUDIO") : QStringLiteral("MODE1/2352"))
                   .arg(msf(totalSectors))
                   .toUtf8();
        totalSectors += track.sectors;
    }
    if (options.missingSectors < 0 || options.missingSectors >= totalSectors) {
        setError(error, QStringLiteral("cannot leave out %1 of %2 sectors")
                            .arg(options.missingSectors)
                            .arg(totalSectors));
        return std::nullopt;
    }
    image.binSectors = totalSectors - options.missingSectors;

    QFile cueFile(image.cuePath);
    if (!cueFile.open(QIODevice::WriteOnly) || cueFile.write(cue) != cue.size()) {
        setError(error, QStringLiteral("cannot write %1: %2").arg(cuePath, cueFile.errorString()));
        return std::nullopt;
    }

    QFile bin(image.binPath);
    if (!bin.open(QIODevice::WriteOnly)) {
        setError(error,
                 QStringLiteral("cannot write %1: %2").arg(image.binPath, bin.errorString()));
        return std::nullopt;
    }
    std::array<char, kBytesPerSector> sectorBytes{};
    std::int32_t sector = 0;
    for (const CdImageTrack &track : options.tracks) {
        for (std::int32_t i = 0; i < track.sectors && sector < image.binSectors; ++i, ++sector) {
            if (track.audio)
                fillAudioSector(sector, sectorBytes.data());
            else
                fillDataSector(sector, sectorBytes.data());
            if (bin.write(sectorBytes.data(), kBytesPerSector) != kBytesPerSector) {
                setError(
                    error,
                    QStringLiteral("cannot write %1: %2").arg(image.binPath, bin.errorString()));
                return std::nullopt;
            }
        }
    }
    return image;
}

} // namespace zyr::test
