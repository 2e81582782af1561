#include "tools/skingen/Painting.h"

#include <QPainterPath>
#include <QtMath>

namespace skin {

QImage Canvas(int w, int h, const QColor& fill) {
  QImage image(w, h, QImage::Format_ARGB32);
  image.fill(fill);
  return image;
}

QFont Font(int pixelSize, bool bold, const char* family) {
  QFont f(family);
  f.setPixelSize(pixelSize);
  f.setBold(bold);
  f.setHintingPreference(QFont::PreferFullHinting);
  return f;
}

void RoundRect(QPainter& p, const QRectF& r, qreal radius, const QBrush& brush, const QColor& edge) {
  p.save();
  p.setPen(edge.isValid() ? QPen(edge, 1) : Qt::NoPen);
  p.setBrush(brush);
  p.drawRoundedRect(r, radius, radius);
  p.restore();
}

QLinearGradient Vertical(const QRectF& r, const QColor& top, const QColor& bottom) {
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, top);
  g.setColorAt(1, bottom);
  return g;
}

void Text(QPainter& p, const QRectF& r, const QString& text, const QFont& font, const QColor& colour, int flags) {
  p.save();
  p.setFont(font);
  p.setPen(colour);
  p.drawText(r, flags, text);
  p.restore();
}

void Handset(QPainter& p, const QRectF& box, const QColor& colour, qreal angle) {
  // A classic receiver: two rounded cups joined by a curved handle.
  p.save();
  p.translate(box.center());
  p.rotate(angle);
  const qreal s = std::min(box.width(), box.height()) / 16.0;
  p.scale(s, s);
  QPainterPath handle;
  handle.moveTo(-6.5, 1.5);
  handle.cubicTo(-4.5, -4.0, 4.5, -4.0, 6.5, 1.5);
  p.setPen(QPen(colour, 3.2, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawPath(handle);
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawRoundedRect(QRectF(-8.5, 0.0, 5.6, 3.6), 1.4, 1.4);
  p.drawRoundedRect(QRectF(2.9, 0.0, 5.6, 3.6), 1.4, 1.4);
  p.restore();
}

void Gear(QPainter& p, const QRectF& box, const QColor& colour, const QColor& hole) {
  p.save();
  p.translate(box.center());
  const qreal r = std::min(box.width(), box.height()) / 2.0;
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  for (int i = 0; i < 8; ++i) {
    p.save();
    p.rotate(i * 45.0);
    p.drawRoundedRect(QRectF(-r * 0.18, -r, r * 0.36, r * 0.5), 1, 1);
    p.restore();
  }
  p.drawEllipse(QPointF(0, 0), r * 0.72, r * 0.72);
  p.setBrush(hole);
  p.drawEllipse(QPointF(0, 0), r * 0.3, r * 0.3);
  p.restore();
}

void Speaker(QPainter& p, const QRectF& box, const QColor& colour, bool muted) {
  p.save();
  p.translate(box.topLeft());
  p.scale(box.width() / 16.0, box.height() / 16.0);
  QPainterPath cone;
  cone.moveTo(1.5, 5.5);
  cone.lineTo(4.5, 5.5);
  cone.lineTo(8.5, 2.0);
  cone.lineTo(8.5, 14.0);
  cone.lineTo(4.5, 10.5);
  cone.lineTo(1.5, 10.5);
  cone.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawPath(cone);
  p.setBrush(Qt::NoBrush);
  if (muted) {
    p.setPen(QPen(QColor(235, 80, 80), 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10.5, 5.5), QPointF(15, 10.5));
    p.drawLine(QPointF(15, 5.5), QPointF(10.5, 10.5));
  } else {
    p.setPen(QPen(colour, 1.5, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(6.5, 5.0, 5, 6), -60 * 16, 120 * 16);
    p.drawArc(QRectF(6.0, 2.5, 9, 11), -60 * 16, 120 * 16);
  }
  p.restore();
}

void Microphone(QPainter& p, const QRectF& box, const QColor& colour, bool muted) {
  p.save();
  p.translate(box.topLeft());
  p.scale(box.width() / 16.0, box.height() / 16.0);
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawRoundedRect(QRectF(5.5, 1.0, 5, 8.5), 2.5, 2.5);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(colour, 1.5, Qt::SolidLine, Qt::RoundCap));
  p.drawArc(QRectF(3.5, 3.5, 9, 8.5), 180 * 16, 180 * 16);
  p.drawLine(QPointF(8, 12), QPointF(8, 14.5));
  p.drawLine(QPointF(5.5, 14.5), QPointF(10.5, 14.5));
  if (muted) {
    p.setPen(QPen(QColor(235, 80, 80), 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(2.5, 2.0), QPointF(13.5, 14.0));
  }
  p.restore();
}

void Cross(QPainter& p, const QRectF& box, const QColor& colour, qreal width) {
  p.save();
  p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(box.topLeft(), box.bottomRight());
  p.drawLine(box.topRight(), box.bottomLeft());
  p.restore();
}

}  // namespace skin
