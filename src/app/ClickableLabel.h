#pragma once

#include <QLabel>

namespace zyr {

// A label that raises clicked() when the user presses and releases the left button on it, as
// the designs' labels and pictures do.
class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_pressed = false;
};

} // namespace zyr
