#include "skin/CMemBitmap.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>

#include "res/Resources.h"

QRect CMemBitmap::Placement(QSize client, QSize image, int flags, int tw, int th) {
  const int W = client.width(), H = client.height(), bw = image.width(), bh = image.height();
  int x = 0, y = 0;
  if (flags & kCentre) {
    x = (W - bw) / 2;
    y = (H - bh) / 2;
  } else if (flags & kCentreAcrossThumb) {
    x = (W - bw) / 2;
    y = (th - bh) / 2;
  } else if (flags & kCentreAlongThumb) {
    x = (tw - bw) / 2;
    y = (H - bh) / 2;
  }
  if (flags & kThumbMarginX) x = 4 - tw / 2;
  if (flags & kThumbMarginY) y = 4 - th / 2;
  int w = bw, h = bh;
  if (flags & kStretchWidth)
    w = (flags & kThumbMarginX) ? W - 2 * x : W;
  else if (flags & kStretchHeight)
    h = (flags & kThumbMarginY) ? H - 2 * y : H;
  return QRect(x, y, w, h);
}

void CMemBitmap::Compose(const QRect& client, int resourceId, int flags, int tw, int th) {
  Compose(client, resourceId ? LoadBitmapResource(resourceId) : QImage(), flags, tw, th);
}

void CMemBitmap::Compose(const QRect& client, const QImage& image, int flags, int tw, int th) {
  QImage surface(client.size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  surface.fill(QApplication::palette().color(QPalette::Button));
  if (!image.isNull()) {
    const QRect place = Placement(client.size(), image.size(), flags, tw, th);
    QPainter painter(&surface);
    if (place.size() == image.size())
      painter.drawImage(place.topLeft(), image);
    else
      painter.drawImage(place, image);
  }
  SetImage(surface);
}

void CMemBitmap::CopyTo(QPainter& painter, const QRect& rect) const {
  if (!m_image.isNull()) painter.drawImage(rect.topLeft(), m_image, rect);
}
