#include "app/DesignLabel.h"

#include <QMouseEvent>

namespace zyr {

DesignLabel::DesignLabel(const QString &caption, QWidget *parent) : QLabel(parent)
{
    // A label shows its caption as plain text; "&" marks an access key, as on a button.
    setTextFormat(Qt::PlainText);
    setText(caption);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setWordWrap(true);
    setFocusPolicy(Qt::NoFocus);
    setMargin(0);
    // The classic dialog face leaves one pixel before its first glyph; so do the labels here,
    // which also keeps a sliver of a label (one pixel wide) from showing part of a letter.
    setIndent(1);
}

void DesignLabel::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void DesignLabel::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        emit clicked();
}

} // namespace zyr
