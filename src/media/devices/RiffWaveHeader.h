#pragma once
// What the chunk headers of a RIFF WAVE file say about its sound data, checked against the
// file's real size. The sound decoder reads it before FFmpeg opens the file, for an exact
// length and to refuse truncated or lying files.

#include "media/core/Result.h"

#include <QFile>
#include <QString>

namespace zyr::media {

struct WaveFacts {
    bool isWave = false;    // "RIFF" .... "WAVE"
    qint64 dataOffset = -1; // first byte of the data chunk's payload
    qint64 dataBytes = 0;   // payload bytes that are really in the file
    qint64 factFrames = -1; // sample frames from a 'fact' chunk before the data, if any
};

// Walks the chunk headers of a RIFF WAVE file (8 bytes per chunk, seeking over the payloads) to
// find where the data chunk starts and how much of it the file really holds. Reads nothing else,
// so it costs a few small reads whatever the size of the file. A file that is not RIFF WAVE comes
// back with isWave false and is left to FFmpeg. `name` is the file's name for messages. Any
// thread.
Result<WaveFacts> inspectWave(QFile &file, const QString &name);

} // namespace zyr::media
