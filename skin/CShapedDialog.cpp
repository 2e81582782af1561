#include "skin/CShapedDialog.h"

#include <QAbstractSlider>
#include <QChildEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "res/Resources.h"
#include "skin/SkinRegions.h"

CShapedDialog::CShapedDialog(QWidget* parent) : QDialog(parent) {}

CShapedDialog::CShapedDialog(int bitmapId, QWidget* parent) : QDialog(parent) { SetBitmap(bitmapId); }

CShapedDialog::CShapedDialog(const QImage& bitmap, QWidget* parent) : QDialog(parent) { SetBitmap(bitmap); }

CShapedDialog::~CShapedDialog() { FreeBitmap(); }

bool CShapedDialog::Install(QImage* owned) {
  m_pBitmap = owned;
  m_bOwnsBitmap = true;
  m_bHasBitmap = true;
  MakeWindowRegion();
  update();
  return true;
}

bool CShapedDialog::SetBitmap(int resourceId) {
  FreeBitmap();
  QImage image = LoadBitmapResource(resourceId);
  if (image.isNull()) return false;
  return Install(new QImage(std::move(image)));
}

bool CShapedDialog::SetBitmapFile(const QString& fileName) {
  FreeBitmap();
  QImage image(fileName);
  if (image.isNull()) return false;
  return Install(new QImage(image.convertToFormat(QImage::Format_RGB32)));
}

bool CShapedDialog::SetBitmap(const QImage& source) {
  FreeBitmap();
  if (source.isNull()) return false;
  QImage copy = source.convertToFormat(QImage::Format_RGB32);
  copy.detach();  // pixel for pixel, not shared with the caller
  return Install(new QImage(std::move(copy)));
}

void CShapedDialog::SetBitmap(QImage* borrowed) {
  FreeBitmap();
  m_pBitmap = borrowed;
  m_bOwnsBitmap = false;
  m_bHasBitmap = borrowed != nullptr;
  MakeWindowRegion();
  update();
}

void CShapedDialog::FreeBitmap() {
  if (m_bOwnsBitmap) {
    delete m_pBitmap;
    m_bOwnsBitmap = false;
  }
  m_pBitmap = nullptr;
  m_bHasBitmap = false;
}

void CShapedDialog::SetShaped(bool shaped) {
  m_bShaped = shaped;
  MakeWindowRegion();
}

void CShapedDialog::SetTransparentColor(QRgb colour) {
  m_crTransparent = colour;
  MakeWindowRegion();
}

void CShapedDialog::SetTransparentStatics(bool transparent) {
  m_bTransparentStatics = transparent;
  for (QObject* child : children()) ApplyStaticBackground(child);
  update();
}

void CShapedDialog::SetDragByBody(bool drag) { m_bDragByBody = drag; }

void CShapedDialog::MakeWindowRegion() {
  if (!m_bShaped) {
    m_region = QRegion(0, 0, width(), height());
    clearMask();
    return;
  }
  // The window manager owns any frame: the client area starts at the window's origin here.
  const int w = m_bHasBitmap ? std::min(m_pBitmap->width(), width()) : 0;
  const int h = m_bHasBitmap ? std::min(m_pBitmap->height(), height()) : 0;
  std::vector<QRect> runs;
  if (m_bHasBitmap && m_crTransparent)
    runs = OpaqueRuns(*m_pBitmap, *m_crTransparent, w, h);
  else if (m_bHasBitmap)  // no transparent colour yet: every pixel is opaque
    runs.emplace_back(0, 0, w, h);
  m_region = RegionFromRects(runs);
  // An empty mask would mean "no mask" to the window system: keep one pixel-less region
  // apart by masking to a rectangle outside the window instead.
  setMask(m_region.isEmpty() ? QRegion(-1, -1, 1, 1) : m_region);
}

void CShapedDialog::ApplyStaticBackground(QObject* child) const {
  QWidget* w = qobject_cast<QWidget*>(child);
  if (!w || w->isWindow()) return;
  if (qobject_cast<QAbstractSlider*>(w))
    w->setAutoFillBackground(true);  // sliders keep the ordinary background
  else if (qobject_cast<QLabel*>(w))
    w->setAutoFillBackground(!m_bTransparentStatics);
}

void CShapedDialog::childEvent(QChildEvent* event) {
  QDialog::childEvent(event);
  if (event->type() == QEvent::ChildPolished) ApplyStaticBackground(event->child());
}

void CShapedDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (m_bShaped) MakeWindowRegion();
}

void CShapedDialog::paintEvent(QPaintEvent* event) {
  if (!m_bHasBitmap) {
    QDialog::paintEvent(event);
    return;
  }
  QPainter painter(this);
  painter.drawImage(QPoint(0, 0), *m_pBitmap, rect());
}

void CShapedDialog::mousePressEvent(QMouseEvent* event) {
  QDialog::mousePressEvent(event);
  if (!m_bDragByBody || event->button() != Qt::LeftButton) return;
  // The window system moves the window as if its caption were dragged; where it cannot
  // (no window manager), the dialog follows the mouse itself.
  if (windowHandle() && windowHandle()->startSystemMove()) return;
  m_manualDrag = true;
  m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void CShapedDialog::mouseMoveEvent(QMouseEvent* event) {
  if (m_manualDrag && (event->buttons() & Qt::LeftButton)) move(event->globalPosition().toPoint() - m_dragOffset);
  QDialog::mouseMoveEvent(event);
}

void CShapedDialog::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) m_manualDrag = false;
  QDialog::mouseReleaseEvent(event);
}
