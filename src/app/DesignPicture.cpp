#include "app/DesignPicture.h"

#include <QImageReader>
#include <QMouseEvent>
#include <QPixmap>

namespace zyr {

DesignPicture::DesignPicture(const QString &resource, QWidget *parent) : QLabel(parent)
{
    // QImageReader::read() gives the first frame of an animated GIF; nothing animates.
    QImageReader reader(resource);
    m_image = reader.read();
    setPixmap(QPixmap::fromImage(m_image));
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setScaledContents(false);
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
}

void DesignPicture::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void DesignPicture::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        emit clicked();
}

} // namespace zyr
