#pragma once
// Window conventions of the console: places given in twips (15 twips per pixel) and the window font.
#include <QFont>
#include <QRect>

namespace zelk::console {

constexpr int kTwipsPerPixel = 15;

// Twips as pixels, rounded to the nearest pixel (negative values too: window positions may be negative).
constexpr int twips(int value) {
    return value >= 0 ? (value + kTwipsPerPixel / 2) / kTwipsPerPixel
                      : -((-value + kTwipsPerPixel / 2) / kTwipsPerPixel);
}
static_assert(twips(7) == 0 && twips(8) == 1 && twips(-8) == -1 && twips(-7) == 0 && twips(1440) == 96);
constexpr QRect twipsRect(int left, int top, int width, int height) {
    return {twips(left), twips(top), twips(width), twips(height)};
}

// "ＭＳ ゴシック" where it exists, else an installed Japanese gothic font, at pointSize.
QFont consoleFont(double pointSize = 9.75, bool bold = false);

} // namespace zelk::console
