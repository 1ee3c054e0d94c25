#pragma once
// Opening a movie file for its pictures: FFmpeg's demuxer on the file, its video stream chosen
// (FFmpeg's choice, skipping cover art), whatever is not a movie refused, and the facts about
// the stream that the container gives. An AVI's headers state everything playing it needs, so
// an AVI is opened without FFmpeg's stream analysis, which reads ahead and decodes pictures
// (for H.264 at 720p, some 40 ms of work); other containers, and an AVI whose headers leave
// the codec or the picture size out, are analysed.
//
// Any thread (the UI thread in practice). Reads headers; never decodes a picture. An AVI is
// opened HeadersOnly, its index left for a seek on the thread that reads its packets.

#include "media/core/Result.h"
#include "media/devices/FfmpegHandles.h"

#include <QSize>
#include <QString>

#include <cstdint>

namespace zyr::media {

struct MovieInput {
    // Returned in frameCount and lengthMs when the container states no length.
    static constexpr std::int64_t kUnknownLength = -1;

    // Opened HeadersOnly for an AVI (see FfmpegInput.h) until opened again with its index.
    InputFormatContextPtr format;
    QString path;
    int streamIndex = -1;
    const AVCodec *codec = nullptr;
    QString fileName; // for messages
    QSize codedSize;
    AVRational frameRate{25, 1};
    AVRational timeBase{1, 25};
    std::int64_t startTimestamp = 0; // of the stream, in timeBase
    std::int64_t frameCount = kUnknownLength;
    std::int64_t lengthMs = kUnknownLength;
    bool hasAudio = false;
    // The RIFF header of an AVI announces more bytes than the file holds.
    bool truncated = false;
    // A picture format that may or may not move (GIF, APNG, raw Motion JPEG): it is a movie
    // only if a second picture follows the first.
    bool pictureFormat = false;
};

// Opens `path` and checks that it holds a movie. The errors FfmpegVideoDecoder::open() lists,
// but for those that need a picture decoded (no decoder can be opened, a first picture that
// fails or never comes, a picture format with only one picture).
Result<MovieInput> openMovieInput(const QString &path);

// The refusal of a picture format that turns out to hold one picture only.
MediaError notAMovieError(const QString &fileName);

} // namespace zyr::media
