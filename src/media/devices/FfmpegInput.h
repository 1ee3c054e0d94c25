#pragma once
// Opening a local file with FFmpeg's demuxers, as both decoders do it.

#include "media/core/Result.h"
#include "media/devices/FfmpegHandles.h"

#include <QString>

#include <optional>

namespace zyr::media {

// Opens `path` through FFmpeg, the local file protocol only: a playlist-like file must not make
// FFmpeg open URLs, and a "file:" prefix keeps a colon in the name from being read as a
// protocol. Errors: FileNotFound, FileUnreadable, and for a file FFmpeg cannot open,
// CorruptMedia when the caller has `recognised` it as its kind of medium ("The `kind` file ...
// is damaged"), else UnsupportedFormat. `kind` is "sound" or "movie". `maxProbePackets`, where
// given, bounds how many packets of a stream FFmpeg looks into when it checks what a header
// declares (its own default is up to 2500). Any thread; reads the file's first bytes.
Result<InputFormatContextPtr> openLocalInput(const QString &path, bool recognised,
                                             const QString &kind,
                                             std::optional<int> maxProbePackets = std::nullopt);

} // namespace zyr::media
