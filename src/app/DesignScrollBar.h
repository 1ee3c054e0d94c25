#pragma once

#include <QScrollBar>

namespace zyr {

// A scroll bar of a window design. The players move theirs with the medium several times a
// second, and a bar scaled onto a long medium takes many steps to move its thumb one pixel: a
// step that leaves the bar looking as it was paints nothing, where QScrollBar repaints the
// whole bar (a few hundred microseconds of the UI thread each time).
class DesignScrollBar : public QScrollBar {
    Q_OBJECT
public:
    explicit DesignScrollBar(Qt::Orientation orientation, QWidget *parent = nullptr);

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent *event) override;

private:
    // What of the bar's look depends on its value: the thumb, and whether it is at an end.
    struct Look {
        QRect thumb;
        bool atMinimum = false;
        bool atMaximum = false;
        bool operator==(const Look &) const = default;
    };
    Look look() const;

    Look m_painted;
};

} // namespace zyr
