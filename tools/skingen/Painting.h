#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QString>

// Drawing helpers and the colours of the skin.
namespace skin {

inline const QColor kHole(0, 0, 255);     // the window's transparent colour
inline const QColor kBody(22, 30, 48);    // window body and keypad plate
inline const QColor kHeader(30, 41, 66);  // title band
inline const QColor kPanel(36, 62, 111);  // display panels = the text lines' background
inline const QColor kPanelEdge(74, 104, 160);
inline const QColor kPanelDeep(24, 42, 78);
inline const QColor kText(202, 202, 202);  // the text lines' colour
inline const QColor kAccent(64, 196, 255);
inline const QColor kKey(0, 0, 0, 0);

QImage Canvas(int w, int h, const QColor& fill);
QFont Font(int pixelSize, bool bold = false, const char* family = "DejaVu Sans");
void RoundRect(QPainter& p, const QRectF& r, qreal radius, const QBrush& brush, const QColor& edge = QColor());
QLinearGradient Vertical(const QRectF& r, const QColor& top, const QColor& bottom);
void Text(QPainter& p, const QRectF& r, const QString& text, const QFont& font, const QColor& colour,
          int flags = Qt::AlignCenter);

// Glyphs, drawn to fit the box.
void Handset(QPainter& p, const QRectF& box, const QColor& colour, qreal angleDegrees);
void Gear(QPainter& p, const QRectF& box, const QColor& colour, const QColor& hole);
void Speaker(QPainter& p, const QRectF& box, const QColor& colour, bool muted);
void Microphone(QPainter& p, const QRectF& box, const QColor& colour, bool muted);
void Cross(QPainter& p, const QRectF& box, const QColor& colour, qreal width);

}  // namespace skin
