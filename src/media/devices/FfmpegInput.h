#pragma once
// Opening a local file with FFmpeg's demuxers, as both decoders do it.

#include "media/core/Result.h"
#include "media/devices/FfmpegHandles.h"

#include <QString>

#include <optional>

namespace zyr::media {

// What opening a file reads of it.
//   Packets      the headers, and whatever the container keeps elsewhere for reading and
//                seeking (an AVI's index: for an hour of movie some 200,000 entries, read
//                from all over the file in some 50 ms);
//   HeadersOnly  the headers alone, read as a stream that cannot seek, and no more than the
//                first few megabytes (beyond them reads fail): the context tells the streams'
//                facts and gives the packets at the start of the file; readOnAsStream() lets
//                it read on, and reopenForPackets() opens the file again with its index for a
//                seek or where reading on stops. Headers larger than that are opened with
//                Packets instead, which readsHeadersOnly() tells.
enum class InputReach { Packets, HeadersOnly };

// Opens `path` through FFmpeg, the local file protocol only: a playlist-like file must not make
// FFmpeg open URLs, and a "file:" prefix keeps a colon in the name from being read as a
// protocol. Errors: FileNotFound, FileUnreadable, and for a file FFmpeg cannot open,
// CorruptMedia when the caller has `recognised` it as its kind of medium ("The `kind` file ...
// is damaged"), else UnsupportedFormat. `kind` is "sound" or "movie". `maxProbePackets`, where
// given, bounds how many packets of a stream FFmpeg looks into when it checks what a header
// declares (its own default is up to 2500). `demuxer`, where given, is the one the caller knows
// the file needs (it has read the container's signature): FFmpeg then does not try every
// demuxer it has on the first bytes, which the first time in a process costs the UI thread
// some milliseconds of paging in their code. Any thread; reads the file's first bytes.
Result<InputFormatContextPtr> openLocalInput(const QString &path, bool recognised,
                                             const QString &kind,
                                             std::optional<int> maxProbePackets = std::nullopt,
                                             InputReach reach = InputReach::Packets,
                                             const AVInputFormat *demuxer = nullptr);

// True for a context opened HeadersOnly.
bool readsHeadersOnly(const AVFormatContext &format);

// Lets a context opened HeadersOnly read on past its first megabytes to the end of the file,
// still as a stream: no index and no seeking, which a stream played from its start needs
// neither of (an hour of movie's index is some 6 MB held and 50 ms read). Its reads stop where
// some megabytes of the file pass without a packet of the stream its reader takes (the reader
// tells each one with streamPacketRead()), as in a file whose streams lie one after the other;
// readingStopped() then says so, and the reader goes on in the file opened for its packets
// (reopenForPackets()). A context whose reads have already stopped stays stopped.
void readOnAsStream(AVFormatContext &format);
void streamPacketRead(const AVFormatContext &format);
// True once the reads of a HeadersOnly context have stopped at its bound, whatever the read
// that failed or came back short then said.
bool readingStopped(const AVFormatContext &format);

// Opens `path`, first opened HeadersOnly as `format`, again for its packets and index, in place
// of `format`: the stream `streamIndex` as `format` describes it, the other streams discarded.
// The errors of openLocalInput(), and CorruptMedia when the file no longer holds that stream;
// `format` is then kept. Any thread (the worker that reads).
Result<void> reopenForPackets(InputFormatContextPtr &format, const QString &path, int streamIndex,
                              const QString &kind);

} // namespace zyr::media
