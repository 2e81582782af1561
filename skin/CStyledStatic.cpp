#include "skin/CStyledStatic.h"

#include <QMouseEvent>
#include <QPainter>

CStyledStatic::CStyledStatic(QWidget *parent) : CStyledStatic(QString(), parent) {}

CStyledStatic::CStyledStatic(const QString &text, QWidget *parent) : QLabel(text, parent) {}

void CStyledStatic::SetTextStyle(const QString &face, int height, const QColor &text, int flags)
{
    m_strFace = face;
    m_nHeight = height;
    m_crText = text;
    SetStyleFlags(flags);
}

void CStyledStatic::SetStyleFlags(int flags)
{
    // Style bits only ever switch on; the alignment is always set anew.
    if (flags & kHeavy)
        m_bHeavy = true;
    if (flags & kItalic)
        m_bItalic = true;
    if (flags & kUnderline)
        m_bUnderline = true;
    if (flags & kStrikeOut)
        m_bStrikeOut = true;
    if (flags & kSmooth)
        m_bSmooth = true;
    m_bAlignCenter = flags & kCentre;
    m_bAlignRight = !m_bAlignCenter && (flags & kRight);
    m_bAlignLeft = !m_bAlignCenter && !m_bAlignRight;
}

void CStyledStatic::SetBackColor(const QColor &colour)
{
    m_crBack = colour;
    m_bUseBackColor = true;
}

QColor CStyledStatic::BackColor() const
{
    return m_bUseBackColor ? m_crBack : palette().color(QPalette::Button);
}

QFont CStyledStatic::TextFont() const
{
    QFont font(m_strFace);
    if (m_nHeight > 0)
        font.setPixelSize(m_nHeight);
    font.setWeight(m_bHeavy ? QFont::Black : QFont::Normal);
    font.setItalic(m_bItalic);
    font.setUnderline(m_bUnderline);
    font.setStrikeOut(m_bStrikeOut);
    font.setStyleStrategy(m_bSmooth ? QFont::PreferAntialias : QFont::PreferDefault);
    return font;
}

int CStyledStatic::TextFlags() const
{
    const int horizontal = m_bAlignCenter ? Qt::AlignHCenter
                           : m_bAlignRight ? Qt::AlignRight
                                           : Qt::AlignLeft;
    return horizontal | Qt::AlignTop | Qt::TextWordWrap; // no mnemonics: "&" shows as itself
}

void CStyledStatic::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), BackColor());
    painter.setPen(m_crText);
    painter.setFont(TextFont());
    painter.setClipRect(rect());
    painter.drawText(rect(), TextFlags(), text());
}

void CStyledStatic::mousePressEvent(QMouseEvent *event)
{
    // The line takes its clicks (it notifies its parent), so a press on it does not drag a
    // window that moves by its body.
    event->accept();
}
