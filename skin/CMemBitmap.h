#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>

#include "skin/CSizedBitmap.h"

class QPainter;

// A control's face composed once from a bitmap and then copied piecewise to the screen.
class CMemBitmap : public CSizedBitmap {
 public:
  // Layout flags of Compose.
  enum : int {
    kCentre = 0x001,
    kCentreAcrossThumb = 0x002,  // centred across, at the thumb's height
    kStretchWidth = 0x004,
    kThumbMarginX = 0x008,
    kCentreAlongThumb = 0x040,  // centred down, at the thumb's width
    kStretchHeight = 0x080,
    kThumbMarginY = 0x100,
  };

  // Where and how large the image lands on a client area of the given size.
  static QRect Placement(QSize client, QSize image, int flags, int thumbWidth, int thumbHeight);

  // Makes a surface of the client rectangle's size filled with the button face and lays the
  // bitmap (0 = none) on it.
  void Compose(const QRect& client, int resourceId, int flags, int thumbWidth, int thumbHeight);
  void Compose(const QRect& client, const QImage& image, int flags, int thumbWidth, int thumbHeight);
  // Copies that rectangle of the surface to the same place on the target.
  void CopyTo(QPainter& painter, const QRect& rect) const;
};
