#pragma once

#include <QRect>

// Dialog templates place controls in dialog units: a quarter of the template font's average
// character width across, an eighth of its height down. The base units are those the template
// fonts have on the desktop the templates were laid out for.
struct DialogFont {
  int baseX;  // average character width, pixels
  int baseY;  // character height, pixels
};

inline constexpr DialogFont kSansSerif8{6, 13};   // "MS Sans Serif" 8 point
inline constexpr DialogFont kSansSerif10{7, 16};  // "MS Sans Serif" 10 point

// Rounded to the nearest pixel, as dialog unit conversion does it (coordinates are never negative).
constexpr int DluToPixelsX(int x, DialogFont f = kSansSerif8) { return (x * f.baseX + 2) / 4; }
constexpr int DluToPixelsY(int y, DialogFont f = kSansSerif8) { return (y * f.baseY + 4) / 8; }

inline QRect DluToPixels(int x, int y, int w, int h, DialogFont f = kSansSerif8) {
  const int left = DluToPixelsX(x, f), top = DluToPixelsY(y, f);
  return QRect(left, top, DluToPixelsX(x + w, f) - left, DluToPixelsY(y + h, f) - top);
}
