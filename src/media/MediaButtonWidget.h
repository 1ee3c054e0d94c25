#pragma once

#include "media/MediaButton.h"

#include <QAbstractButton>

namespace zyr::media {

// One button of the control's bar, drawn as a transport glyph: bars, triangles, a square, a
// dot, the eject arrow. Grey when disabled. The button never takes the focus itself: the
// control holds it and marks the button the keyboard is on with a focus frame.
class MediaButtonWidget : public QAbstractButton {
    Q_OBJECT
public:
    MediaButtonWidget(MediaButton button, QWidget *parent = nullptr);

    MediaButton button() const { return m_button; }
    QSize sizeHint() const override;

    // Whether the keyboard is on this button while the control has the focus.
    bool hasKeyboardMark() const { return m_keyboardMark; }
    void setKeyboardMark(bool marked);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void paintGlyph(QPainter &painter, const QRectF &box) const;

    MediaButton m_button;
    bool m_keyboardMark = false;
};

} // namespace zyr::media
