#pragma once

#include <QLabel>

namespace zyr {

// A label of a window design: caption left-aligned at the top of its box, wrapped at word
// boundaries, never taking the focus, raising clicked() when the user clicks it.
class DesignLabel : public QLabel {
    Q_OBJECT
public:
    explicit DesignLabel(const QString &caption, QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_pressed = false;
};

} // namespace zyr
