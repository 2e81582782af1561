#pragma once

#include <QAbstractButton>
#include <QImage>

// A push button drawn from bitmaps only: the normal picture, and optionally the pictures shown
// while it is pressed (selected), while it has the focus and while it is disabled. Its caption is
// not drawn.
class CBitmapButton : public QAbstractButton {
  Q_OBJECT
 public:
  explicit CBitmapButton(QWidget* parent = nullptr);

  // Loads the pictures by bitmap resource number; 0 leaves that state without a picture of its
  // own (the normal one is shown). False when the normal picture cannot be loaded.
  bool LoadBitmaps(int normal, int selected = 0, int focus = 0, int disabled = 0);

  // Resizes the button to its normal picture.
  void SizeToContent();

  // The picture the button shows in its current state (null when it has none).
  QImage CurrentFace() const;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage m_normal, m_selected, m_focus, m_disabled;
};
