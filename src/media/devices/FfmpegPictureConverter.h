#pragma once
// Converts decoded pictures for the screen through libswscale: to 32-bit RGB at any size, into
// memory the caller gives (a window's backing store, an image), or to another size in the
// picture's own pixel format (scaling on a worker, ahead of the screen). It keeps one scaler
// and makes it again only when the source or the target changes, so each picture of a movie
// costs one pass.
//
// Colours: YUV goes through the matrix the frame names (BT.601 up to standard definition and
// BT.709 from 720 lines when it names none, as players commonly assume) and its range; RGB
// out is always full range.
//
// Threads: none of its own and no locks; one thread uses it at a time.

#include "media/core/Result.h"
#include "media/devices/FfmpegHandles.h"
#include "media/devices/FfmpegVideoHandles.h"

#include <QImage>
#include <QSize>
#include <QString>

namespace zyr::media {

class FfmpegPictureConverter {
public:
    // `fileName` names the movie in error messages.
    explicit FfmpegPictureConverter(QString fileName = {}) : m_fileName(std::move(fileName)) {}

    // Writes `frame`, scaled to `size`, as QImage::Format_RGB32 pixels (alpha 0xff) into `bits`,
    // whose rows are `stride` bytes apart. Unscaled planar YUV 4:2:0 takes swscale's fast path.
    Result<void> toRgb32(const AVFrame &frame, QSize size, uchar *bits, qsizetype stride);
    // The same into a new QImage::Format_RGB32 image.
    Result<QImage> toImage(const AVFrame &frame, QSize size);
    // `frame` at `size`, in its own pixel format where swscale writes that format (else planar
    // YUV 4:2:0 of the same range), its properties (timestamps, colours) kept.
    Result<FramePtr> scaled(const AVFrame &frame, QSize size);

private:
    // What a scaler was made for.
    struct Key {
        int sourceWidth = 0;
        int sourceHeight = 0;
        int sourceFormat = -1;
        int colorSpace = -1;
        int colorRange = -1;
        int targetWidth = 0;
        int targetHeight = 0;
        int targetFormat = -1;
        bool operator==(const Key &) const = default;
    };

    Result<SwsContext *> scalerFor(const AVFrame &frame, QSize size, int targetFormat);
    MediaError cannotConvert(const AVFrame &frame) const;

    QString m_fileName;
    SwsContextPtr m_sws;
    Key m_key;
};

} // namespace zyr::media
