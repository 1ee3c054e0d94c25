#include "app/DesignScrollBar.h"

#include <QStyle>
#include <QStyleOptionSlider>

namespace zyr {

DesignScrollBar::DesignScrollBar(Qt::Orientation orientation, QWidget *parent)
    : QScrollBar(orientation, parent)
{
}

DesignScrollBar::Look DesignScrollBar::look() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return {
        style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
        value() == minimum(), value() == maximum()};
}

void DesignScrollBar::sliderChange(SliderChange change)
{
    if (change == SliderValueChange && look() == m_painted)
        return;
    QScrollBar::sliderChange(change);
}

void DesignScrollBar::paintEvent(QPaintEvent *event)
{
    m_painted = look();
    QScrollBar::paintEvent(event);
}

} // namespace zyr
