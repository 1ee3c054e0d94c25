#pragma once

#include "app/ClickableLabel.h"

namespace zyr {

// A picture of a window design: the first frame of a GIF (or an icon) at its own size, at the
// top left of its box, unstretched and without a border; raises clicked() when clicked.
class DesignPicture : public ClickableLabel {
    Q_OBJECT
public:
    explicit DesignPicture(const QString &resource, QWidget *parent = nullptr);

    // The picture as loaded: its first frame only.
    QImage image() const { return m_image; }

private:
    QImage m_image;
};

} // namespace zyr
