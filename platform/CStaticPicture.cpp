#include "CStaticPicture.h"

#include <QMouseEvent>
#include <QPixmap>

#include "res/Resources.h"

CStaticPicture::CStaticPicture(QWidget* parent) : QLabel(parent) {}

bool CStaticPicture::SetBitmap(int id) {
  const QImage image = LoadBitmapResource(id);
  if (image.isNull()) return false;
  setPixmap(QPixmap::fromImage(image));
  return true;
}

void CStaticPicture::mousePressEvent(QMouseEvent* event) {
  if (m_notify && event->button() == Qt::LeftButton) {
    m_pressed = true;
    event->accept();
    return;
  }
  QLabel::mousePressEvent(event);
}

void CStaticPicture::mouseReleaseEvent(QMouseEvent* event) {
  if (m_notify && m_pressed && event->button() == Qt::LeftButton) {
    m_pressed = false;
    event->accept();
    if (rect().contains(event->position().toPoint())) emit clicked();
    return;
  }
  QLabel::mouseReleaseEvent(event);
}
