#pragma once

#include <QWidget>

namespace zyr {

// A line of a window design, one pixel wide in the window's text colour, drawn from the top
// left to the bottom right of its box (a horizontal line has a box one pixel high). It never
// takes the focus and lets clicks through.
class DesignLine : public QWidget {
    Q_OBJECT
public:
    DesignLine(QPoint from, QPoint to, QWidget *parent = nullptr);

    QPoint from() const { return m_from; }
    QPoint to() const { return m_to; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPoint m_from;
    QPoint m_to;
};

} // namespace zyr
