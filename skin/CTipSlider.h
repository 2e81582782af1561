#pragma once

#include <memory>

#include <QRect>
#include <QSlider>
#include <QString>

#include "skin/CMaskedBitmap.h"
#include "skin/CMemBitmap.h"

// A slider whose whole face is drawn from a background bitmap, composed once for the control,
// and a thumb bitmap with a key colour (the colour of its top-left pixel) drawn where the range
// and position put it. While the thumb is dragged it can show the value in a tip.
//
//   slider->setRange(0, 65535);
//   slider->SetSkin(253, 254, 0, 0);   // background, thumb, no active thumb, no flags
//   slider->SetPos(value);
class CTipSlider : public QSlider {
 public:
  // Flags of SetSkin besides the layout flags of CMemBitmap.
  enum : int { kTip = 0x010, kTipFollows = 0x020 };

  explicit CTipSlider(Qt::Orientation orientation, QWidget* parent = nullptr);
  explicit CTipSlider(QWidget* parent = nullptr);
  ~CTipSlider() override;

  void SetSkin(int background, int thumb, int activeThumb, int flags);
  void SetSkin(const QImage& background, const QImage& thumb, const QImage& activeThumb, int flags);
  void SetPos(int position);
  void SetCursorResource(int id);
  virtual QString GetTipText() const;

  // The thumb's rectangle for the current range and position.
  QRect GetThumbRect() const;
  // A vertical slider with an inverted appearance has its maximum at the top.
  bool RunsUpward() const;
  // The same arithmetic for any client rectangle, thumb size, range and position.
  static QRect ThumbRect(const QRect& client, QSize thumb, bool vertical, int min, int max, int pos);

  bool IsGrabbed() const { return m_bGrabbed; }
  bool IsDragging() const { return m_bDragging; }
  // The shared value tip: its text and position, and whether it is showing.
  static QString TipText();
  static QPoint TipPosition();
  static bool TipVisible();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int ValueAt(QPoint point) const;
  void ShowTip();
  void PlaceTip();
  void RefreshTip();

  std::unique_ptr<CMaskedBitmap> m_pThumb;
  std::unique_ptr<CMaskedBitmap> m_pActiveThumb;
  std::unique_ptr<CMemBitmap> m_pBackground;
  bool m_bDragging = false;
  bool m_bGrabbed = false;
  bool m_bVertical = false;
  bool m_bTipEnabled = false;
  bool m_bTipFollows = false;
  QRect m_rcClient;
  int m_grabOffset = 0;
};
