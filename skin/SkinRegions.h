#pragma once

#include <vector>

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRegion>

// Shapes cut from bitmaps: one rectangle, one pixel high, for each run of pixels that are not of
// a key colour. Runs of neighbouring rows are never merged. Colours compare on red, green and
// blue exactly.

// The shaped dialog's outline: rows top to bottom over the w × h top-left part of the bitmap,
// each run moved by offset (the client area's place inside the window).
std::vector<QRect> OpaqueRuns(const QImage& bitmap, QRgb transparent, int w, int h, QPoint offset = {});

// A button's mask: rows bottom to top over the whole mask, runs of pixels that differ from key.
std::vector<QRect> MaskRuns(const QImage& mask, QRgb key);

// The union of the rectangles, added one at a time.
QRegion RegionFromRects(const std::vector<QRect>& rects, QRegion start = {});
