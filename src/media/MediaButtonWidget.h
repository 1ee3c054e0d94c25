#pragma once

#include "media/MediaButton.h"

#include <QAbstractButton>

namespace zyr::media {

// One button of the control's bar, drawn as a transport glyph: bars, triangles, a square, a
// dot, the eject arrow. Grey when disabled.
class MediaButtonWidget : public QAbstractButton {
    Q_OBJECT
public:
    MediaButtonWidget(MediaButton button, QWidget *parent = nullptr);

    MediaButton button() const { return m_button; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void paintGlyph(QPainter &painter, const QRectF &box) const;

    MediaButton m_button;
};

} // namespace zyr::media
