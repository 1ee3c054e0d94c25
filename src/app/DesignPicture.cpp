#include "app/DesignPicture.h"

#include <QImageReader>
#include <QPixmap>

namespace zyr {

DesignPicture::DesignPicture(const QString &resource, QWidget *parent) : ClickableLabel(parent)
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

} // namespace zyr
