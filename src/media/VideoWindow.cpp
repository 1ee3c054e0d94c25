#include "media/VideoWindow.h"

#include <QCloseEvent>
#include <QPainter>

namespace zyr::media {

VideoWindow::VideoWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("videoWindow"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

void VideoWindow::prepare(const QString &title, QSize displaySize)
{
    // Qt reads "[*]" in a title as the place of the unsaved-changes mark and drops it; doubled,
    // it shows once, so a file called "take[*].avi" is named as written.
    QString shown = title;
    setWindowTitle(shown.replace(QLatin1String("[*]"), QLatin1String("[*][*]")));
    m_displaySize = displaySize;
    m_frame = QImage();
    resize(displaySize);
}

void VideoWindow::present(const QImage &frame)
{
    m_frame = frame;
    update();
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
    const QSize source = m_displaySize.isValid() ? m_displaySize : m_frame.size();
    if (source.isEmpty())
        return {};
    const QSize fitted = source.scaled(size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
}

void VideoWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect picture = pictureRect();
    // Black bars around the picture; the picture itself covers the rest.
    const QRegion bars = QRegion(rect()).subtracted(picture);
    for (const QRect &r : bars)
        painter.fillRect(r, Qt::black);
    if (m_frame.isNull()) {
        painter.fillRect(picture, Qt::black);
        return;
    }
    if (picture.size() == m_frame.size()) {
        painter.drawImage(picture.topLeft(), m_frame);
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(picture, m_frame);
}

void VideoWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
    hide();
    if (m_onClose)
        m_onClose();
}

VideoOutputFactory videoWindowFactory()
{
    return [] { return std::make_unique<VideoWindow>(); };
}

} // namespace zyr::media
