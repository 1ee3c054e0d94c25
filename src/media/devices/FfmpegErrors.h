#pragma once
// What the FFmpeg-based decoders share when they tell a failure.

#include <QString>

namespace zyr::media {

// A file's name as the decoders' messages quote it.
QString quoted(const QString &name);

// Whether an AVERROR code means the file could not be read (rather than that it is damaged).
bool isIoError(int errorCode);

} // namespace zyr::media
