#include "skin/CSizedBitmap.h"

#include "res/Resources.h"

bool CSizedBitmap::LoadBitmap(int resourceId) {
  SetImage(LoadBitmapResource(resourceId));
  return !m_image.isNull();
}

void CSizedBitmap::SetImage(QImage image) {
  m_image = std::move(image);
  m_width = m_height = -1;
}

int CSizedBitmap::Width() const {
  if (m_width < 0) m_width = m_image.isNull() ? 0 : m_image.width();
  return m_width;
}

int CSizedBitmap::Height() const {
  if (m_height < 0) m_height = m_image.isNull() ? 0 : m_image.height();
  return m_height;
}
