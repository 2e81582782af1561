#include "skin/SkinRegions.h"

namespace {

// Appends the runs of row y (pixels not equal to key, RGB only) over x in [0, w).
void RowRuns(const QImage& image, int y, int w, QRgb key, QPoint offset, std::vector<QRect>& out) {
  const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
  const QRgb rgbKey = key & 0xFFFFFF;
  int start = 0;
  for (int x = 0; x < w; ++x) {
    if ((row[x] & 0xFFFFFF) != rgbKey) continue;  // other colours only extend the open run
    if (start != x)
      out.emplace_back(QPoint(offset.x() + start, offset.y() + y), QPoint(offset.x() + x - 1, offset.y() + y));
    start = x + 1;
  }
  if (start != w)
    out.emplace_back(QPoint(offset.x() + start, offset.y() + y), QPoint(offset.x() + w - 1, offset.y() + y));
}

QImage AsRgb32(const QImage& image) {
  return image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
             ? image
             : image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

std::vector<QRect> OpaqueRuns(const QImage& bitmap, QRgb transparent, int w, int h, QPoint offset) {
  std::vector<QRect> runs;
  if (bitmap.isNull()) return runs;
  const QImage image = AsRgb32(bitmap);
  w = std::min(w, image.width());
  h = std::min(h, image.height());
  for (int y = 0; y < h; ++y) RowRuns(image, y, w, transparent, offset, runs);
  return runs;
}

std::vector<QRect> MaskRuns(const QImage& mask, QRgb key) {
  std::vector<QRect> runs;
  if (mask.isNull()) return runs;
  const QImage image = AsRgb32(mask);
  runs.reserve(40);
  for (int y = image.height() - 1; y >= 0; --y) RowRuns(image, y, image.width(), key, {}, runs);
  return runs;
}

QRegion RegionFromRects(const std::vector<QRect>& rects, QRegion start) {
  for (const QRect& r : rects) start = start.united(r);
  return start;
}
