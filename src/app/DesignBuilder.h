#pragma once

#include "app/WindowDesign.h"

#include <QFont>

namespace zyr {

class DesignedWindow;

// Turns a WindowDesign into Qt widgets on a DesignedWindow: caption, icon, menu bar, client
// area of the design's size, and every control at its twip position converted to pixels, with
// its caption, font, colours and picture; then the focus order by tab index.
class DesignBuilder {
public:
    static void build(DesignedWindow &window, const WindowDesign &design);

    // The Qt font for a design's font record, through the face substitutes of FontSubstitutes.
    static QFont font(const FontDesign &design);
};

} // namespace zyr
