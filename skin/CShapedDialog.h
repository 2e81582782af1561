#pragma once

#include <optional>

#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QRegion>

// A dialog drawn from a bitmap: the bitmap is its whole background, the window's outline can be
// cut from it (every pixel of the transparent colour becomes a hole), text statics let it show
// through, and the window can be moved by dragging its body.
//
// A skinned dialog derives from it and, once its controls exist, calls in this order:
//   SetBitmap(id); SetShaped(true); SetTransparentColor(qRgb(0, 0, 255));
//   SetTransparentStatics(true); SetDragByBody(true);
class CShapedDialog : public QDialog {
 public:
  explicit CShapedDialog(QWidget* parent = nullptr);
  CShapedDialog(int bitmapId, QWidget* parent);
  CShapedDialog(const QImage& bitmap, QWidget* parent);
  ~CShapedDialog() override;

  bool SetBitmap(int resourceId);  // bitmap resource <id>
  bool SetBitmapFile(const QString& fileName);
  bool SetBitmap(const QImage& source);  // keeps a copy of its own
  void SetBitmap(QImage* borrowed);      // uses the caller's image, which must outlive it
  void FreeBitmap();
  const QImage* Bitmap() const { return m_bHasBitmap ? m_pBitmap : nullptr; }

  void SetShaped(bool shaped);
  void SetTransparentColor(QRgb colour);
  void SetTransparentStatics(bool transparent);
  void SetDragByBody(bool drag);

  // Rebuilds the window's outline from the bitmap and applies it.
  void MakeWindowRegion();
  QRegion WindowRegion() const { return m_region; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void childEvent(QChildEvent* event) override;

 private:
  void ApplyStaticBackground(QObject* child) const;
  bool Install(QImage* owned);

  bool m_bShaped = false;
  bool m_bTransparentStatics = true;
  std::optional<QRgb> m_crTransparent;  // nothing is transparent until it is set
  bool m_bDragByBody = false;
  bool m_bOwnsBitmap = false;
  bool m_bHasBitmap = false;
  QImage* m_pBitmap = nullptr;
  QRegion m_region;
  bool m_manualDrag = false;
  QPoint m_dragOffset;
};
