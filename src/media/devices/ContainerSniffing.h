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

// RIFF sizes (of the form, or of a chunk): 0 and 0xFFFFFFFF are what writers that stream, or
// crashed before patching the header, leave behind, and claim nothing. Any other may claim
// kRiffSizeSlack bytes beyond the end of the file: the pad byte after an odd-sized last chunk,
// which some writers count but do not write.
inline constexpr qint64 kRiffSizeSlack = 1;
inline bool isStreamingRiffSize(quint32 size)
{
    return size == 0 || size == 0xFFFFFFFFu;
}
// Whether the RIFF form's size (the 4 bytes after "RIFF") claims more than a file of `fileSize`.
inline bool riffSizeExceedsFile(quint32 riffSize, qint64 fileSize)
{
    return !isStreamingRiffSize(riffSize) && qint64(riffSize) + 8 > fileSize + kRiffSizeSlack;
}

// How many bytes of the file's start sniffContainer() looks at.
inline constexpr int kSniffBytes = 12;

// What the first bytes of a file (`head`, up to kSniffBytes) of `fileSize` bytes say.
SniffedContainer sniffContainer(const QByteArray &head, qint64 fileSize);

} // namespace zyr::media
