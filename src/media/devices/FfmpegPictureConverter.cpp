#include "media/devices/FfmpegPictureConverter.h"

#include "media/devices/FfmpegErrors.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace zyr::media {

namespace {

// The swscale matrix for a frame's colour space. Streams that state none get BT.601 up to
// standard definition and BT.709 for HD sizes, as players commonly assume.
int swsColorSpace(const AVFrame &frame)
{
    switch (frame.colorspace) {
    case AVCOL_SPC_BT709:
        return SWS_CS_ITU709;
    case AVCOL_SPC_FCC:
        return SWS_CS_FCC;
    case AVCOL_SPC_SMPTE240M:
        return SWS_CS_SMPTE240M;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return SWS_CS_BT2020;
    case AVCOL_SPC_UNSPECIFIED:
        return frame.height >= 720 ? SWS_CS_ITU709 : SWS_CS_DEFAULT;
    default:
        return SWS_CS_DEFAULT;
    }
}

bool isFullRangeYuv(const AVFrame &frame)
{
    if (frame.color_range == AVCOL_RANGE_JPEG) {
        return true;
    }
    // The deprecated "J" formats are full range whatever the frame says.
    switch (frame.format) {
    case AV_PIX_FMT_YUVJ411P:
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ440P:
    case AV_PIX_FMT_YUVJ444P:
        return true;
    default:
        return false;
    }
}

bool isRgb(int format)
{
    const AVPixFmtDescriptor *descriptor = av_pix_fmt_desc_get(AVPixelFormat(format));
    return descriptor != nullptr && (descriptor->flags & AV_PIX_FMT_FLAG_RGB) != 0;
}

} // namespace

Result<SwsContext *> FfmpegPictureConverter::scalerFor(const AVFrame &frame, QSize size,
                                                       int targetFormat)
{
    const bool rgbIn = isRgb(frame.format);
    const Key key{frame.width,
                  frame.height,
                  frame.format,
                  rgbIn ? -1 : swsColorSpace(frame),
                  rgbIn ? -1 : int(isFullRangeYuv(frame)),
                  size.width(),
                  size.height(),
                  targetFormat};
    if (m_sws && key == m_key) {
        return m_sws.get();
    }
    // Made again only when something changes: a new window size, or a new stream size or
    // format mid-file.
    m_sws.reset();
    SwsContextPtr sws(sws_getContext(frame.width, frame.height, AVPixelFormat(frame.format),
                                     size.width(), size.height(), AVPixelFormat(targetFormat),
                                     SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!sws) {
        return cannotConvert(frame);
    }
    if (!rgbIn) {
        const int *source = sws_getCoefficients(key.colorSpace);
        if (isRgb(targetFormat)) {
            // YUV in, RGB out: the frame's matrix and range; RGB is always full range.
            sws_setColorspaceDetails(sws.get(), source, key.colorRange,
                                     sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
        } else {
            // YUV to YUV only changes the size: the values keep their range.
            sws_setColorspaceDetails(sws.get(), source, key.colorRange, source, key.colorRange, 0,
                                     1 << 16, 1 << 16);
        }
    }
    m_sws = std::move(sws);
    m_key = key;
    return m_sws.get();
}

MediaError FfmpegPictureConverter::cannotConvert(const AVFrame &frame) const
{
    const char *formatName = av_get_pix_fmt_name(AVPixelFormat(frame.format));
    return makeError(
        ErrorKind::UnsupportedFormat,
        QStringLiteral("The pictures in %1 (%2, %3x%4) cannot be converted for "
                       "display.")
            .arg(quoted(m_fileName), QLatin1String(formatName != nullptr ? formatName : "?"))
            .arg(frame.width)
            .arg(frame.height));
}

Result<void> FfmpegPictureConverter::toRgb32(const AVFrame &frame, QSize size, uchar *bits,
                                             qsizetype stride)
{
    Result<SwsContext *> sws = scalerFor(frame, size, AV_PIX_FMT_RGB32);
    if (!sws) {
        return sws.error();
    }
    std::uint8_t *const destination[4] = {bits, nullptr, nullptr, nullptr};
    const int destinationStride[4] = {int(stride), 0, 0, 0};
    const int rows = sws_scale(sws.value(), frame.data, frame.linesize, 0, frame.height,
                               destination, destinationStride);
    if (rows <= 0) {
        return makeError(ErrorKind::Internal,
                         QStringLiteral("Converting a picture of %1 failed: %2")
                             .arg(quoted(m_fileName), ffmpegErrorText(rows)));
    }
    return {};
}

Result<QImage> FfmpegPictureConverter::toImage(const AVFrame &frame, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) {
        return makeError(ErrorKind::Internal,
                         QStringLiteral("Out of memory for a picture of %1x%2.")
                             .arg(size.width())
                             .arg(size.height()));
    }
    if (Result<void> converted = toRgb32(frame, size, image.bits(), image.bytesPerLine());
        !converted) {
        return converted.error();
    }
    return image;
}

Result<FramePtr> FfmpegPictureConverter::scaled(const AVFrame &frame, QSize size)
{
    int format = frame.format;
    if (sws_isSupportedOutput(AVPixelFormat(format)) == 0) {
        format = isRgb(format) ? AV_PIX_FMT_RGB32 : AV_PIX_FMT_YUV420P;
    }
    Result<SwsContext *> sws = scalerFor(frame, size, format);
    if (!sws) {
        return sws.error();
    }
    FramePtr out(av_frame_alloc());
    if (!out) {
        return makeError(ErrorKind::Internal, QStringLiteral("Out of memory for a picture."));
    }
    out->format = format;
    out->width = size.width();
    out->height = size.height();
    if (av_frame_get_buffer(out.get(), 0) < 0 || av_frame_copy_props(out.get(), &frame) < 0) {
        return makeError(ErrorKind::Internal,
                         QStringLiteral("Out of memory for a picture of %1x%2.")
                             .arg(size.width())
                             .arg(size.height()));
    }
    if (!isRgb(format) && isFullRangeYuv(frame)) {
        out->color_range = AVCOL_RANGE_JPEG;
    }
    const int rows = sws_scale(sws.value(), frame.data, frame.linesize, 0, frame.height, out->data,
                               out->linesize);
    if (rows <= 0) {
        return makeError(ErrorKind::Internal, QStringLiteral("Scaling a picture of %1 failed: %2")
                                                  .arg(quoted(m_fileName), ffmpegErrorText(rows)));
    }
    return out;
}

} // namespace zyr::media
