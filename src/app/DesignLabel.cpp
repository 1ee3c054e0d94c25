#include "app/DesignLabel.h"

namespace zyr {

DesignLabel::DesignLabel(const QString &caption, QWidget *parent) : ClickableLabel(parent)
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

} // namespace zyr
