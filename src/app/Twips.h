#pragma once
// Geometry in the window designs is in twips, 1/1440 inch. At the design resolution of 96 dots
// per inch 15 twips make one pixel; Qt's high-dpi scaling takes it from there.

#include <QPoint>
#include <QRect>
#include <QSize>

namespace zyr {

inline constexpr int kTwipsPerPixel = 15;

// Rounds to the nearest pixel, halves away from zero.
constexpr int twipsToPixels(int twips)
{
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                      : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

inline QRect twipsToPixels(int left, int top, int width, int height)
{
    return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

inline QSize twipsToPixels(QSize twips)
{
    return {twipsToPixels(twips.width()), twipsToPixels(twips.height())};
}

} // namespace zyr
