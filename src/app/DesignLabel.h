#pragma once

#include "app/ClickableLabel.h"

namespace zyr {

// A label of a window design: caption left-aligned at the top of its box, wrapped at word
// boundaries, never taking the focus, raising clicked() when the user clicks it.
class DesignLabel : public ClickableLabel {
    Q_OBJECT
public:
    explicit DesignLabel(const QString &caption, QWidget *parent = nullptr);
};

} // namespace zyr
