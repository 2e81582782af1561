#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QString>

// A text line that paints its own text: a font given by face, height and style flags, a text
// colour over a solid background, left, centred or right alignment, word wrap. An ampersand is
// shown as it is. Change the text with setText.
//
//   line->SetTextStyle("Arial", 16, QColor(202, 202, 202), CStyledStatic::kHeavy);
//   line->SetBackColor(QColor(36, 62, 111));
class CStyledStatic : public QLabel {
 public:
  enum : int {
    kHeavy = 0x01,
    kItalic = 0x02,
    kUnderline = 0x04,
    kStrikeOut = 0x08,
    kSmooth = 0x10,
    kCentre = 0x20,
    kLeft = 0x40,
    kRight = 0x80,
  };

  explicit CStyledStatic(QWidget* parent = nullptr);
  CStyledStatic(const QString& text, QWidget* parent = nullptr);

  void SetTextStyle(const QString& face, int height, const QColor& text, int flags);
  void SetStyleFlags(int flags);
  void SetBackColor(const QColor& colour);

  // What painting uses.
  QFont TextFont() const;
  int TextFlags() const;
  QColor BackColor() const;
  QColor TextColor() const { return m_crText; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  bool m_bHeavy = false;
  bool m_bItalic = false;
  bool m_bUnderline = false;
  bool m_bStrikeOut = false;
  bool m_bSmooth = false;
  bool m_bUseBackColor = false;
  bool m_bAlignCenter = false;
  bool m_bAlignLeft = true;
  bool m_bAlignRight = false;
  QString m_strFace = QStringLiteral("MS Sans Serif");
  QColor m_crText = Qt::black;
  QColor m_crBack;
  int m_nHeight = 3;
};
