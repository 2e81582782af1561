#pragma once

#include <QLabel>

// A static control that shows a bitmap and, when asked to notify, reports clicks.
class CStaticPicture : public QLabel {
  Q_OBJECT
 public:
  explicit CStaticPicture(QWidget* parent = nullptr);

  // Shows bitmap resource <id> at its natural size; false when there is no such bitmap.
  bool SetBitmap(int id);
  void SetNotify(bool notify) { m_notify = notify; }

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool m_notify = true;
  bool m_pressed = false;
};
