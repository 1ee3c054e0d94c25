#include "media/VideoWindow.h"

#include <QCloseEvent>
#include <QPainter>
#include <QScreen>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace zyr::media {

namespace {

// Backing store formats whose pixels are 32-bit words in QImage::Format_RGB32's layout once
// their alpha byte is 0xff, as the converter writes it.
bool takesRgb32(QImage::Format format)
{
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
           format == QImage::Format_ARGB32_Premultiplied;
}

} // namespace

VideoWindow::VideoWindow(Placement placement) : m_placement(placement), m_store(this)
{
    setObjectName(QStringLiteral("videoWindow"));
    setSurfaceType(QSurface::RasterSurface);
}

VideoWindow::~VideoWindow()
{
    if (m_warming.valid())
        m_warming.wait();
}

void VideoWindow::prepare(const QString &title, QSize displaySize)
{
    setTitle(title);
    m_displaySize = displaySize;
    m_picture = VideoPicture{};
    // The window system's window and the backing store now, so that the backing store is
    // warmed up while the first picture is on its way.
    create();
    if (m_placement == Placement::FillScreen && screen() != nullptr)
        setGeometry(screen()->availableGeometry().marginsRemoved(frameMargins()));
    else
        resize(displaySize);
    resizeStore();
}

void VideoWindow::present(VideoPicture picture)
{
    m_picture = std::move(picture);
    m_pictureUnpainted = true;
    render(m_barsPainted ? Area::Picture : Area::Whole);
}

QSize VideoWindow::pictureSize() const
{
    return devicePictureRect().size();
}

void VideoWindow::setShown(bool shown)
{
    if (!shown) {
        hide();
        return;
    }
    show();
    raise();
}

QRect VideoWindow::pictureRect() const
{
    const QSize source = m_displaySize.isValid() ? m_displaySize
                         : m_picture.frame ? QSize(m_picture.frame->width, m_picture.frame->height)
                                           : QSize();
    if (source.isEmpty())
        return {};
    const QSize fitted = source.scaled(size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
}

QRect VideoWindow::devicePictureRect() const
{
    const QRect logical = pictureRect();
    const qreal ratio = devicePixelRatio();
    if (qFuzzyCompare(ratio, 1.0))
        return logical;
    const QPoint topLeft(int(std::lround(logical.x() * ratio)),
                         int(std::lround(logical.y() * ratio)));
    const QPoint end(int(std::lround((logical.x() + logical.width()) * ratio)),
                     int(std::lround((logical.y() + logical.height()) * ratio)));
    return QRect(topLeft, end - QPoint(1, 1));
}

void VideoWindow::render(Area area)
{
    // A window just hidden is still exposed until the window system says otherwise.
    if (!isVisible() || !isExposed())
        return;
    if (m_warming.valid()) {
        m_renderWhenWarm = true; // the whole window is painted once the store is warm
        return;
    }
    const QRect whole(QPoint(), size());
    const QRect picture = pictureRect();
    const QRegion painted = area == Area::Whole ? QRegion(whole) : QRegion(picture);
    if (painted.isEmpty())
        return;
    m_store.beginPaint(painted);
    QPaintDevice *device = m_store.paintDevice();
    auto *image = device != nullptr && device->devType() == QInternal::Image
                      ? static_cast<QImage *>(device)
                      : nullptr;
    if (area == Area::Whole) {
        // Black bars around the picture; the picture itself covers the rest.
        QPainter painter(device);
        for (const QRect &bar : QRegion(whole).subtracted(picture))
            painter.fillRect(bar, Qt::black);
        if (!m_picture.frame)
            painter.fillRect(picture, Qt::black);
    }
    bool drawn = false;
    if (m_picture.frame && image != nullptr && takesRgb32(image->format())) {
        // Straight into the backing store.
        const QRect target = devicePictureRect().intersected(image->rect());
        uchar *const bits = image->bits() + qsizetype(target.y()) * image->bytesPerLine() +
                            qsizetype(target.x()) * 4;
        drawn =
            m_converter.toRgb32(*m_picture.frame, target.size(), bits, image->bytesPerLine()).ok();
    } else if (m_picture.frame) {
        // Another kind of backing store: through an image and QPainter.
        Result<QImage> converted =
            m_converter.toImage(*m_picture.frame, devicePictureRect().size());
        if (converted) {
            converted.value().setDevicePixelRatio(devicePixelRatio());
            QPainter(device).drawImage(picture.topLeft(), converted.value());
            drawn = true;
        }
    }
    if (m_picture.frame && !drawn)
        QPainter(device).fillRect(picture, Qt::black); // a picture that cannot be converted
    if (drawn && std::exchange(m_pictureUnpainted, false))
        ++m_picturesPainted;
    m_store.endPaint();
    m_store.flush(painted);
    if (area == Area::Whole)
        m_barsPainted = true;
}

void VideoWindow::resizeStore()
{
    if (m_store.size() == size())
        return;
    if (m_warming.valid())
        m_warming.wait(); // the old store's pages are about to go
    m_store.resize(size());
    m_barsPainted = false;
    warmStore();
}

void VideoWindow::warmStore()
{
    // The store's image is made by its first paint; a one-pixel paint makes it.
    m_store.beginPaint(QRect(0, 0, 1, 1));
    QPaintDevice *device = m_store.paintDevice();
    auto *image = device != nullptr && device->devType() == QInternal::Image
                      ? static_cast<QImage *>(device)
                      : nullptr;
    uchar *const bits = image != nullptr ? image->bits() : nullptr;
    const qsizetype bytes = image != nullptr ? image->sizeInBytes() : 0;
    m_store.endPaint();
    if (bits == nullptr || bytes <= 0)
        return;
    const std::uint64_t store = ++m_warmedStore;
    m_warming = std::async(std::launch::async, [this, bits, bytes, store] {
        // Whole pages only: the kernel wants a page-aligned start.
        const auto page = std::uintptr_t(sysconf(_SC_PAGESIZE));
        const auto start = (std::uintptr_t(bits) + page - 1) & ~(page - 1);
        const auto end = std::uintptr_t(bits) + std::uintptr_t(bytes);
        if (end > start) // where the kernel cannot, the first paint faults the pages in
            madvise(reinterpret_cast<void *>(start), end - start, MADV_POPULATE_WRITE);
        QMetaObject::invokeMethod(
            this, [this, store] { onStoreWarm(store); }, Qt::QueuedConnection);
    });
}

void VideoWindow::onStoreWarm(std::uint64_t store)
{
    // Word from a store that a resize has since replaced leaves the new one warming. The word
    // can come before its thread has quite ended: the wait is for that end only.
    if (store != m_warmedStore || !m_warming.valid())
        return;
    m_warming.get();
    if (std::exchange(m_renderWhenWarm, false))
        render(Area::Whole);
}

void VideoWindow::exposeEvent(QExposeEvent *)
{
    if (isExposed())
        render(Area::Whole);
}

void VideoWindow::resizeEvent(QResizeEvent *)
{
    resizeStore();
    m_barsPainted = false;
    if (isExposed())
        render(Area::Whole);
}

void VideoWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
    hide();
    if (m_onClose)
        m_onClose();
}

VideoOutputFactory videoWindowFactory(VideoWindow::Placement placement)
{
    return [placement] {
        // The window system's window now, as the movie opens: making it takes a millisecond or
        // two of the UI thread, which the first picture, often due the moment Play is pressed,
        // need not wait for.
        auto window = std::make_unique<VideoWindow>(placement);
        window->create();
        return window;
    };
}

} // namespace zyr::media
