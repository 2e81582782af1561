#include "skin/CMaskedBitmap.h"

#include <QPaintEngine>
#include <QPainter>

#include "res/Resources.h"

void CMaskedBitmap::LoadWithKey(int resourceId, qint64 key) { LoadWithKey(LoadBitmapResource(resourceId), key); }

void CMaskedBitmap::LoadWithKey(const QImage& source, qint64 key) {
  SetImage(source.isNull() ? QImage() : source.convertToFormat(QImage::Format_RGB32));
  m_mask = QImage();
  if (m_image.isNull()) return;
  const QRgb keyRgb = (key == kTopLeftPixel ? m_image.pixel(0, 0) : QRgb(key)) & 0xFFFFFF;
  m_mask = QImage(m_image.size(), QImage::Format_RGB32);
  for (int y = 0; y < m_image.height(); ++y) {
    QRgb* image = reinterpret_cast<QRgb*>(m_image.scanLine(y));
    QRgb* mask = reinterpret_cast<QRgb*>(m_mask.scanLine(y));
    for (int x = 0; x < m_image.width(); ++x) {
      const bool isKey = (image[x] & 0xFFFFFF) == keyRgb;
      mask[x] = isKey ? 0xFFFFFFFF : 0xFF000000;
      if (isKey) image[x] = 0xFF000000;
    }
  }
}

void CMaskedBitmap::DrawTransparent(QPainter& painter, int x, int y) const {
  if (m_image.isNull()) return;
  painter.save();
  if (painter.paintEngine()->type() == QPaintEngine::Raster) {
    painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
    painter.drawImage(x, y, m_mask);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.drawImage(x, y, m_image);
  } else {
    // Engines without raster operations: the key pixels made transparent instead.
    QImage cut = m_image.convertToFormat(QImage::Format_ARGB32);
    for (int row = 0; row < cut.height(); ++row)
      for (int col = 0; col < cut.width(); ++col)
        if ((m_mask.pixel(col, row) & 0xFFFFFF) == 0xFFFFFF) cut.setPixel(col, row, 0);
    painter.drawImage(x, y, cut);
  }
  painter.restore();
}
