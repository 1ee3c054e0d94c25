#include "app/DesignLine.h"

#include <QPainter>

#include <algorithm>

namespace zyr {

DesignLine::DesignLine(QPoint from, QPoint to, QWidget *parent)
    : QWidget(parent), m_from(from), m_to(to)
{
    const QPoint topLeft(std::min(from.x(), to.x()), std::min(from.y(), to.y()));
    const QPoint bottomRight(std::max(from.x(), to.x()), std::max(from.y(), to.y()));
    setGeometry(QRect(topLeft, bottomRight).adjusted(0, 0, 1, 1));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void DesignLine::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    painter.drawLine(m_from - pos(), m_to - pos());
}

} // namespace zyr
