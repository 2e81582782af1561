#pragma once

#include <QColor>
#include <QEvent>
#include <QImage>
#include <QPushButton>
#include <QRegion>

class QPainter;

// A push button painted from bitmaps: one face for each state (normal, pressed, mouse over,
// disabled, focused), an optional mask that shapes the button and lets the background show where
// it is white, and a centred caption. It shows the over face while the pointer is on it and the
// pressed face only while a pressed pointer stays on it. Clicks come as the button's ordinary
// clicked() signal.
//
// Made with a template style of an auto check box or auto radio button (PreSubclassWindow), it
// keeps its own check state: a click or the space key toggles a check box and sets a radio
// button, which then unchecks the other skinned radio buttons of its group. A group is the run of
// sibling widgets (in creation order) that starts at a widget marked with SetGroupStart, or at
// the first child, and ends before the next marked one; it wraps around like a dialog group.
class CSkinButton : public QPushButton {
 public:
  enum CheckMode { PushMode = 0, CheckBoxMode = 2, RadioMode = 4 };
  // Item state bits handed to DrawItem.
  enum : unsigned { ODS_SELECTED = 0x01, ODS_DISABLED = 0x04, ODS_FOCUS = 0x10 };
  // Template button styles that decide the mode.
  enum : unsigned { BS_AUTOCHECKBOX = 3, BS_AUTORADIOBUTTON = 9, BS_OWNERDRAW = 11 };
  // Posted to the other radio buttons of a group when one becomes checked.
  static constexpr QEvent::Type WM_SKINBUTTON_UNCHECK = QEvent::Type(QEvent::User + 256);

  struct Faces {
    QImage normal, down, over, disabled, focus, mask;
  };

  explicit CSkinButton(QWidget* parent = nullptr);
  CSkinButton(const QString& text, QWidget* parent = nullptr);
  ~CSkinButton() override;

  // Decides push, check-box or radio mode from the control's template style.
  void PreSubclassWindow(unsigned style);
  CheckMode GetCheckMode() const { return m_nCheckMode; }

  // Bitmap resource ids (0 = none). Without a disabled bitmap the normal one serves.
  void SetSkin(unsigned normal, unsigned down, unsigned over, unsigned disabled, unsigned focus, unsigned mask,
               short drawMode, short border, short focusMargin);
  void SetSkin(const Faces& faces, short drawMode, short border, short focusMargin);
  void SetToolTipText(const QString& text);
  QColor SetTextColor(const QColor& colour);

  void SetCheck(int check);
  int GetCheck() const { return m_bChecked ? 1 : 0; }
  static void SetGroupStart(QWidget* widget, bool start = true);

  short DrawMode() const { return m_nDrawMode; }
  short FocusMargin() const { return m_nFocusMargin; }
  bool IsHover() const { return m_bHover; }
  bool IsPressed() const { return m_bPressed; }
  QRegion MaskRegion() const { return m_region; }

  // Paints the face for the item state bits into rect.
  void DrawItem(QPainter& painter, const QRect& rect, unsigned state);

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void DrawSkinBitmap(QPainter& painter, const QImage& face, const QRect& rect);
  void ClickCheck();
  void UncheckGroup();

  bool m_bChecked = false;
  CheckMode m_nCheckMode = PushMode;
  bool m_bHover = false;
  bool m_bPressed = false;
  Faces m_faces;
  short m_nFocusMargin = 0;
  QColor m_crText;
  QRegion m_region;
  int m_nBorder = 0;
  short m_nDrawMode = 1;
};
