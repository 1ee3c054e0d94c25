#pragma once
// Telling the common movie containers from the first bytes of a file, before FFmpeg looks at
// it. A file that starts like one of them is meant to be a movie, so a header FFmpeg cannot
// read is damage rather than a foreign format; and an AVI's headers state everything about its
// streams that playing them needs, so it can be opened without FFmpeg's stream analysis.

#include <QByteArray>
#include <QtGlobal>

namespace zyr::media {

enum class KnownContainer { Unknown, Avi, Matroska, IsoMedia };

struct SniffedContainer {
    KnownContainer container = KnownContainer::Unknown;
    // AVI only: its RIFF size claims more bytes than the file holds.
    bool truncated = false;
};

// How many bytes of the file's start sniffContainer() looks at.
inline constexpr int kSniffBytes = 12;

// What the first bytes of a file (`head`, up to kSniffBytes) of `fileSize` bytes say.
SniffedContainer sniffContainer(const QByteArray &head, qint64 fileSize);

} // namespace zyr::media
