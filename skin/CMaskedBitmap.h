#pragma once

#include <QImage>

#include "skin/CSizedBitmap.h"

class QPainter;

// A bitmap drawn with one colour transparent. Loading builds a mask (white where the key colour
// was, black elsewhere) and blackens the key-coloured pixels of the image, so that drawing is
// the mask ANDed onto the target, then the image XORed onto it.
class CMaskedBitmap : public CSizedBitmap {
 public:
  static constexpr qint64 kTopLeftPixel = -1;  // take the key from the pixel at (0, 0)

  void LoadWithKey(int resourceId, qint64 key);
  void LoadWithKey(const QImage& image, qint64 key);
  void DrawTransparent(QPainter& painter, int x, int y) const;
  const QImage& Mask() const { return m_mask; }

 private:
  QImage m_mask;
};
