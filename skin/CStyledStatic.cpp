#include "skin/CStyledStatic.h"

#include <algorithm>

#include <QMouseEvent>
#include <QFontMetrics>
#include <QPainter>

CStyledStatic::CStyledStatic(QWidget* parent) : CStyledStatic(QString(), parent) {}

CStyledStatic::CStyledStatic(const QString& text, QWidget* parent) : QLabel(text, parent) {}

void CStyledStatic::SetTextStyle(const QString& face, int height, const QColor& text, int flags) {
  m_strFace = face;
  m_nHeight = height;
  m_crText = text;
  SetStyleFlags(flags);
}

void CStyledStatic::SetStyleFlags(int flags) {
  // Style bits only ever switch on; the alignment is always set anew.
  if (flags & kHeavy) m_bHeavy = true;
  if (flags & kItalic) m_bItalic = true;
  if (flags & kUnderline) m_bUnderline = true;
  if (flags & kStrikeOut) m_bStrikeOut = true;
  if (flags & kSmooth) m_bSmooth = true;
  m_bAlignCenter = flags & kCentre;
  m_bAlignRight = !m_bAlignCenter && (flags & kRight);
  m_bAlignLeft = !m_bAlignCenter && !m_bAlignRight;
}

void CStyledStatic::SetBackColor(const QColor& colour) {
  m_crBack = colour;
  m_bUseBackColor = true;
}

QColor CStyledStatic::BackColor() const { return m_bUseBackColor ? m_crBack : palette().color(QPalette::Button); }

QFont CStyledStatic::TextFont() const {
  QFont font(m_strFace);
  font.setWeight(m_bHeavy ? QFont::Black : QFont::Normal);
  if (m_nHeight > 0) {
    // The height is the character cell's (ascent plus descent), as font creation takes a
    // positive height on the desktop the skin was drawn for; Qt's pixel size is the em.
    font.setPixelSize(m_nHeight);
    const int cell = QFontMetrics(font).height();
    if (cell > m_nHeight) font.setPixelSize(std::max(1, m_nHeight * m_nHeight / cell));
  }
  font.setItalic(m_bItalic);
  font.setUnderline(m_bUnderline);
  font.setStrikeOut(m_bStrikeOut);
  font.setStyleStrategy(m_bSmooth ? QFont::PreferAntialias : QFont::PreferDefault);
  return font;
}

int CStyledStatic::TextFlags() const {
  const int horizontal = m_bAlignCenter ? Qt::AlignHCenter : m_bAlignRight ? Qt::AlignRight : Qt::AlignLeft;
  return horizontal | Qt::AlignTop | Qt::TextWordWrap;  // no mnemonics: "&" shows as itself
}

void CStyledStatic::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), BackColor());
  painter.setPen(m_crText);
  painter.setFont(TextFont());
  painter.setClipRect(rect());
  painter.drawText(rect(), TextFlags(), text());
}

void CStyledStatic::mousePressEvent(QMouseEvent* event) {
  // The line takes its clicks (it notifies its parent), so a press on it does not drag a
  // window that moves by its body.
  event->accept();
}
