#pragma once
// Window conventions of the console: places given in twips (15 twips per pixel) and the window font.
#include <QFont>
#include <QRect>

namespace zelk::console {

constexpr int kTwipsPerPixel = 15;

constexpr int twips(int value) {
    return (value + kTwipsPerPixel / 2) / kTwipsPerPixel;
}
constexpr QRect twipsRect(int left, int top, int width, int height) {
    return {twips(left), twips(top), twips(width), twips(height)};
}

// "ＭＳ ゴシック" where it exists, else an installed Japanese gothic font, at pointSize.
QFont consoleFont(double pointSize = 9.75, bool bold = false);

} // namespace zelk::console
