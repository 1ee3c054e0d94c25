#include "media/devices/RiffWaveHeader.h"

#include "media/devices/ContainerSniffing.h"
#include "media/devices/FfmpegErrors.h"

#include <QByteArray>
#include <QtEndian>

#include <algorithm>

namespace zyr::media {

// RIFF size fields are checked against the real file size, never against each other:
//   - A size field of 0 or 0xFFFFFFFF is what writers that stream (or crashed before patching the
//     header) leave behind. Such a RIFF size is accepted as is; such a data size means "the data
//     runs to the end of the file", and the length follows from the bytes actually there.
//   - Any other RIFF size may claim at most kRiffSizeSlack bytes beyond the end of the file,
//     and a data chunk may end at most kRiffSizeSlack bytes past it (the pad byte). More is a
//     truncated file or a lying header, refused as CorruptMedia.
//   - Sizes smaller than the file are fine (taggers append chunks or junk after the RIFF form).
//   - A data chunk with no bytes at all (size 0 with nothing after it, or a size that holds less
//     than one sample frame) is refused: there is nothing to play.

Result<WaveFacts> inspectWave(QFile &file, const QString &name)
{
    WaveFacts facts;
    const qint64 fileSize = file.size();
    const QByteArray head = file.read(12);
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE") {
        return facts;
    }
    facts.isWave = true;

    const quint32 riffSize = qFromLittleEndian<quint32>(head.constData() + 4);
    if (riffSizeExceedsFile(riffSize, fileSize)) {
        return makeError(ErrorKind::CorruptMedia,
                         QStringLiteral("The sound file %1 is truncated or damaged: its header "
                                        "announces %2 bytes, but the file holds only %3.")
                             .arg(quoted(name))
                             .arg(qint64(riffSize) + 8)
                             .arg(fileSize));
    }

    qint64 position = 12;
    while (position + 8 <= fileSize) {
        if (!file.seek(position)) {
            return makeError(ErrorKind::FileUnreadable,
                             QStringLiteral("The file %1 cannot be read: %2")
                                 .arg(quoted(name), file.errorString()));
        }
        const QByteArray header = file.read(8);
        if (header.size() != 8) {
            return makeError(ErrorKind::FileUnreadable,
                             QStringLiteral("The file %1 cannot be read: %2")
                                 .arg(quoted(name), file.errorString()));
        }
        const QByteArray id = header.left(4);
        const quint32 size = qFromLittleEndian<quint32>(header.constData() + 4);
        const qint64 payload = position + 8;

        if (id == "fact" && size >= 4 && payload + 4 <= fileSize) {
            const QByteArray count = file.read(4);
            if (count.size() == 4) {
                facts.factFrames = qFromLittleEndian<quint32>(count.constData());
            }
        }
        if (id == "data") {
            facts.dataOffset = payload;
            const qint64 available = fileSize - payload;
            if (isStreamingRiffSize(size)) {
                facts.dataBytes = available;
            } else if (payload + qint64(size) > fileSize + kRiffSizeSlack) {
                return makeError(ErrorKind::CorruptMedia,
                                 QStringLiteral("The sound file %1 is truncated or damaged: its "
                                                "sound data should be %2 bytes long, but only %3 "
                                                "are in the file.")
                                     .arg(quoted(name))
                                     .arg(size)
                                     .arg(available));
            } else {
                facts.dataBytes = std::min<qint64>(size, available);
            }
            if (facts.dataBytes <= 0) {
                return makeError(
                    ErrorKind::CorruptMedia,
                    QStringLiteral("The sound file %1 contains no sound.").arg(quoted(name)));
            }
            return facts;
        }
        position = payload + qint64(size) + (size & 1u);
    }
    return makeError(
        ErrorKind::CorruptMedia,
        QStringLiteral("The sound file %1 is damaged: it has no sound data.").arg(quoted(name)));
}

} // namespace zyr::media
