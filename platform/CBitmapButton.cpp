#include "CBitmapButton.h"

#include <QPainter>

#include "res/Resources.h"

CBitmapButton::CBitmapButton(QWidget* parent) : QAbstractButton(parent) { setFocusPolicy(Qt::StrongFocus); }

bool CBitmapButton::LoadBitmaps(int normal, int selected, int focus, int disabled) {
  m_normal = LoadBitmapResource(normal);
  m_selected = selected ? LoadBitmapResource(selected) : QImage();
  m_focus = focus ? LoadBitmapResource(focus) : QImage();
  m_disabled = disabled ? LoadBitmapResource(disabled) : QImage();
  update();
  return !m_normal.isNull();
}

void CBitmapButton::SizeToContent() {
  if (!m_normal.isNull()) resize(m_normal.size());
}

QImage CBitmapButton::CurrentFace() const {
  if (!isEnabled() && !m_disabled.isNull()) return m_disabled;
  if (isDown() && !m_selected.isNull()) return m_selected;
  if (hasFocus() && !m_focus.isNull()) return m_focus;
  return m_normal;
}

QSize CBitmapButton::sizeHint() const { return m_normal.isNull() ? QSize(16, 16) : m_normal.size(); }

void CBitmapButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QImage face = CurrentFace();
  if (face.isNull())
    p.fillRect(rect(), palette().button());
  else
    p.drawImage(0, 0, face);
}
