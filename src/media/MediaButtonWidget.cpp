#include "media/MediaButtonWidget.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>

#include <algorithm>

namespace zyr::media {

namespace {

QPainterPath triangle(QPointF a, QPointF b, QPointF c)
{
    QPainterPath p;
    p.moveTo(a);
    p.lineTo(b);
    p.lineTo(c);
    p.closeSubpath();
    return p;
}

// A triangle pointing right (or left) inside the box [x, x + w] x [top, top + h].
QPainterPath arrow(qreal x, qreal top, qreal w, qreal h, bool right)
{
    return right ? triangle({x, top}, {x + w, top + h / 2}, {x, top + h})
                 : triangle({x + w, top}, {x, top + h / 2}, {x + w, top + h});
}

} // namespace

MediaButtonWidget::MediaButtonWidget(MediaButton button, QWidget *parent)
    : QAbstractButton(parent), m_button(button)
{
    const MediaButtonInfo &info = mediaButtonInfo(button);
    setObjectName(QLatin1String(info.eventName) + QStringLiteral("Button"));
    setAccessibleName(QLatin1String(info.accessibleName));
    setAccessibleDescription(QLatin1String(info.accessibleDescription));
    setToolTip(QLatin1String(info.accessibleName));
    setFocusPolicy(Qt::NoFocus);
}

QSize MediaButtonWidget::sizeHint() const
{
    return {27, 25};
}

void MediaButtonWidget::setKeyboardMark(bool marked)
{
    if (marked == m_keyboardMark)
        return;
    m_keyboardMark = marked;
    update();
}

void MediaButtonWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOptionButton option;
    option.initFrom(this);
    option.state |= isDown() ? QStyle::State_Sunken : QStyle::State_Raised;
    style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, this);
    if (m_keyboardMark) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }

    const qreal side = std::min(width(), height()) * 0.5;
    QRectF box(0, 0, side * 1.3, side);
    box.moveCenter(QRectF(rect()).center() + (isDown() ? QPointF(1, 1) : QPointF()));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    paintGlyph(painter, box);
}

void MediaButtonWidget::paintGlyph(QPainter &painter, const QRectF &b) const
{
    const QColor ink = isEnabled() ? palette().color(QPalette::ButtonText)
                                   : palette().color(QPalette::Disabled, QPalette::ButtonText);
    const QColor red = isEnabled() ? QColor(200, 0, 0) : ink;
    painter.setBrush(ink);
    const qreal w = b.width();
    const qreal h = b.height();
    const qreal bar = std::max<qreal>(1.5, w * 0.14);
    switch (m_button) {
    case MediaButton::Prev: // |<<
        painter.drawRect(QRectF(b.left(), b.top(), bar, h));
        painter.drawPath(arrow(b.left() + bar, b.top(), (w - bar) / 2, h, false));
        painter.drawPath(arrow(b.left() + bar + (w - bar) / 2, b.top(), (w - bar) / 2, h, false));
        break;
    case MediaButton::Next: // >>|
        painter.drawPath(arrow(b.left(), b.top(), (w - bar) / 2, h, true));
        painter.drawPath(arrow(b.left() + (w - bar) / 2, b.top(), (w - bar) / 2, h, true));
        painter.drawRect(QRectF(b.right() - bar, b.top(), bar, h));
        break;
    case MediaButton::Play: // >
        painter.drawPath(arrow(b.left() + w * 0.2, b.top(), w * 0.65, h, true));
        break;
    case MediaButton::Pause: // ||
        painter.drawRect(QRectF(b.left() + w * 0.22, b.top(), w * 0.2, h));
        painter.drawRect(QRectF(b.left() + w * 0.58, b.top(), w * 0.2, h));
        break;
    case MediaButton::Back: // <|
        painter.drawPath(arrow(b.left() + w * 0.1, b.top(), w * 0.55, h, false));
        painter.drawRect(QRectF(b.left() + w * 0.72, b.top(), bar, h));
        break;
    case MediaButton::Step: // |>
        painter.drawRect(QRectF(b.left() + w * 0.28 - bar, b.top(), bar, h));
        painter.drawPath(arrow(b.left() + w * 0.35, b.top(), w * 0.55, h, true));
        break;
    case MediaButton::Stop: // square
        painter.drawRect(QRectF(b.center().x() - h * 0.45, b.top() + h * 0.05, h * 0.9, h * 0.9));
        break;
    case MediaButton::Record: // red dot
        painter.setBrush(red);
        painter.drawEllipse(b.center(), h * 0.45, h * 0.45);
        break;
    case MediaButton::Eject: // triangle up over a bar
        painter.drawPath(triangle({b.left() + w * 0.15, b.top() + h * 0.62},
                                  {b.center().x(), b.top()},
                                  {b.right() - w * 0.15, b.top() + h * 0.62}));
        painter.drawRect(QRectF(b.left() + w * 0.15, b.top() + h * 0.78, w * 0.7, h * 0.22));
        break;
    }
}

} // namespace zyr::media
