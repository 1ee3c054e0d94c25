#pragma once
// What the FFmpeg-based decoders share when they tell a failure.

#include "media/core/Result.h"

#include <QString>

namespace zyr::media {

// A file's name as the decoders' messages quote it.
QString quoted(const QString &name);

// Checks that `path` names a regular file before a decoder opens it: FileNotFound for an empty
// name, a missing path or a folder, UnsupportedFormat for anything else that is not a regular
// file (a device node, a pipe). `kind` is what a folder is not ("sound file", "movie file").
Result<void> checkMediaFile(const QString &path, const QString &kind);

// Whether an AVERROR code means the file could not be read (rather than that it is damaged).
bool isIoError(int errorCode);

} // namespace zyr::media
