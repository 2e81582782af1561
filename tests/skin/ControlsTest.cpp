// The skinned controls: button faces by state, check and radio modes, masked and composed
// bitmaps, the slider's thumb, the styled text line and the transparent static.
#include <QApplication>
#include <QPainter>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include "skin/CMaskedBitmap.h"
#include "skin/CMemBitmap.h"
#include "skin/CSkinButton.h"
#include "skin/CStyledStatic.h"
#include "skin/CTipSlider.h"
#include "skin/CTransparentStatic.h"
#include "tests/support/QtTestMain.h"

namespace {

QImage Solid(int w, int h, QColor c) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(c);
  return image;
}

QColor Face() { return QApplication::palette().color(QPalette::Button); }

// Draws the button for the item state onto a grey background and returns the picture.
QImage Render(CSkinButton& b, unsigned state, QColor background = QColor(90, 90, 90)) {
  QImage out(b.size(), QImage::Format_RGB32);
  out.fill(background);
  QPainter p(&out);
  b.DrawItem(p, QRect(QPoint(0, 0), b.size()), state);
  return out;
}

struct SkinnedButton {
  QWidget parent;
  CSkinButton* b;
  SkinnedButton(bool withOver = true, bool withDisabled = true) {
    b = new CSkinButton(&parent);
    b->resize(20, 12);
    CSkinButton::Faces f{Solid(20, 12, Qt::red),
                         Solid(20, 12, Qt::green),
                         withOver ? Solid(20, 12, Qt::blue) : QImage(),
                         withDisabled ? Solid(20, 12, Qt::yellow) : QImage(),
                         Solid(20, 12, Qt::cyan),
                         QImage()};
    b->SetSkin(f, 0, 0, 4);
    parent.resize(100, 100);
    parent.show();
    ProcessEventsFor(10);
  }
};

}  // namespace

TEST(CSkinButton, FaceFollowsTheStateInPriorityOrder) {
  using B = CSkinButton;
  SkinnedButton s;
  CSkinButton& b = *s.b;
  EXPECT_EQ(Render(b, 0).pixelColor(10, 2), QColor(Qt::red));
  EXPECT_EQ(Render(b, B::ODS_SELECTED).pixelColor(10, 2), QColor(Qt::green));
  EXPECT_EQ(Render(b, B::ODS_DISABLED | B::ODS_SELECTED).pixelColor(10, 2), QColor(Qt::yellow));
  EXPECT_EQ(Render(b, B::ODS_FOCUS).pixelColor(10, 2), QColor(Qt::cyan));  // focus bitmap

  // Hover shows the over face; a press cancels hover so the pressed face shows.
  SendMouse(&b, QEvent::MouseMove, {5, 5}, Qt::NoButton);
  EXPECT_TRUE(b.IsHover());
  EXPECT_EQ(Render(b, B::ODS_FOCUS).pixelColor(10, 2), QColor(Qt::blue));
  SendMouse(&b, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton);
  EXPECT_FALSE(b.IsHover());
  EXPECT_TRUE(b.IsPressed());
  EXPECT_TRUE(b.isDown());
  // Moving the pressed pointer off shows the normal face, back on the pressed face.
  SendMouse(&b, QEvent::MouseMove, {40, 5}, Qt::LeftButton);
  EXPECT_FALSE(b.isDown());
  EXPECT_FALSE(b.IsHover());
  SendMouse(&b, QEvent::MouseMove, {6, 5}, Qt::LeftButton);
  EXPECT_TRUE(b.isDown());
  int clicks = 0;
  QObject::connect(&b, &QAbstractButton::clicked, [&] { ++clicks; });
  SendMouse(&b, QEvent::MouseMove, {40, 5}, Qt::LeftButton);
  SendMouse(&b, QEvent::MouseButtonRelease, {40, 5}, Qt::NoButton);
  EXPECT_EQ(clicks, 0);  // released off the button: no click
  EXPECT_FALSE(b.IsPressed());
  SendMouse(&b, QEvent::MouseMove, {5, 5}, Qt::NoButton);  // the next move arms hover again
  EXPECT_TRUE(b.IsHover());
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(&b, &leave);
  EXPECT_FALSE(b.IsHover());
}

TEST(CSkinButton, MissingBitmapsFallBack) {
  // No disabled bitmap: the normal one serves, with the embossed caption.
  SkinnedButton s(true, false);
  s.b->setText("W");
  const QImage disabled = Render(*s.b, CSkinButton::ODS_DISABLED);
  EXPECT_EQ(disabled.pixelColor(1, 1), QColor(Qt::red));
  const QImage normal = Render(*s.b, 0);
  EXPECT_NE(disabled, normal);  // the caption differs (embossed grey)

  // No normal bitmap: the plain face colour when idle, even with over and focus bitmaps.
  CSkinButton b;
  b.resize(10, 10);
  b.SetSkin({QImage(), Solid(10, 10, Qt::green), Solid(10, 10, Qt::blue), QImage(), Solid(10, 10, Qt::cyan), QImage()},
            0, 0, 0);
  SendMouse(&b, QEvent::MouseMove, {5, 5}, Qt::NoButton);
  EXPECT_EQ(Render(b, CSkinButton::ODS_FOCUS).pixelColor(5, 5), Face());
  EXPECT_EQ(Render(b, CSkinButton::ODS_DISABLED).pixelColor(5, 5), Face());
}

TEST(CSkinButton, FocusRectangleSitsAtTheMargin) {
  CSkinButton b;
  b.resize(30, 20);
  b.SetSkin({Solid(30, 20, Qt::black), {}, {}, {}, {}, {}}, 0, 0, 4);
  const QImage focused = Render(b, CSkinButton::ODS_FOCUS);
  int marked = 0;
  for (int x = 4; x < 26; ++x) marked += focused.pixelColor(x, 4) != QColor(Qt::black);
  EXPECT_GT(marked, 5);  // a dotted line 4 pixels in
  EXPECT_LT(marked, 22);
  EXPECT_EQ(focused.pixelColor(3, 3), QColor(Qt::black));
  EXPECT_EQ(focused.pixelColor(15, 10), QColor(Qt::black));

  b.SetSkin({Solid(30, 20, Qt::black), {}, {}, {}, {}, {}}, -1, 0, -3);
  EXPECT_EQ(b.FocusMargin(), 0);
  EXPECT_EQ(b.DrawMode(), 0);
  EXPECT_EQ(Render(b, CSkinButton::ODS_FOCUS), Render(b, 0));  // margin 0: no rectangle
  b.SetSkin({Solid(30, 20, Qt::black), {}, {}, {}, {}, {}}, 5, 0, 0);
  EXPECT_EQ(b.DrawMode(), 2);
}

TEST(CSkinButton, PressedCaptionMovesOnePixel) {
  CSkinButton b("I");
  b.resize(30, 20);
  const QImage white = Solid(30, 20, Qt::white);
  b.SetSkin({white, white, {}, {}, {}, {}}, 0, 0, 0);
  b.SetTextColor(Qt::black);
  const QImage up = Render(b, 0), down = Render(b, CSkinButton::ODS_SELECTED);
  EXPECT_NE(up, down);
  EXPECT_EQ(up.copy(0, 0, 29, 19), down.copy(1, 1, 29, 19));
}

TEST(CSkinButton, DrawModesAndMask) {
  // A 2 × 2 face: tiled over a 5 × 3 button, copied at natural size, stretched.
  QImage face(2, 2, QImage::Format_RGB32);
  face.setPixelColor(0, 0, Qt::red);
  face.setPixelColor(1, 0, Qt::green);
  face.setPixelColor(0, 1, Qt::blue);
  face.setPixelColor(1, 1, Qt::white);
  CSkinButton b;
  b.resize(5, 3);
  b.SetSkin({face, {}, {}, {}, {}, {}}, 2, 0, 0);
  QImage tiled = Render(b, 0);
  EXPECT_EQ(tiled.pixelColor(4, 2), QColor(Qt::red));
  EXPECT_EQ(tiled.pixelColor(3, 1), QColor(Qt::white));
  b.SetSkin({face, {}, {}, {}, {}, {}}, 0, 0, 0);
  QImage copied = Render(b, 0, Qt::black);
  EXPECT_EQ(copied.pixelColor(1, 1), QColor(Qt::white));
  EXPECT_EQ(copied.pixelColor(4, 2), QColor(Qt::black));  // not covered
  b.SetSkin({face, {}, {}, {}, {}, {}}, 1, 0, 0);
  EXPECT_EQ(Render(b, 0).pixelColor(4, 2), QColor(Qt::white));

  // Mask: white keeps the background, black shows the face; it also shapes the button and,
  // in copy mode, sizes it.
  QImage mask = Solid(4, 4, Qt::white);
  mask.setPixelColor(1, 1, Qt::black);
  mask.setPixelColor(2, 1, Qt::black);
  CSkinButton m;
  m.resize(10, 10);
  m.SetSkin({Solid(4, 4, Qt::red), {}, {}, {}, {}, mask}, 0, 0, 0);
  EXPECT_EQ(m.size(), QSize(4, 4));
  EXPECT_EQ(m.MaskRegion(), QRegion(1, 1, 2, 1));
  const QImage masked = Render(m, 0, QColor(10, 20, 30));
  EXPECT_EQ(masked.pixelColor(1, 1), QColor(Qt::red));
  EXPECT_EQ(masked.pixelColor(0, 0), QColor(10, 20, 30));
  EXPECT_EQ(masked.pixelColor(3, 3), QColor(10, 20, 30));
}

TEST(CSkinButton, CheckBoxModeTogglesOnClicksAndSpace) {
  QWidget parent;
  auto* box = new CSkinButton(&parent);
  box->PreSubclassWindow(CSkinButton::BS_AUTOCHECKBOX);
  EXPECT_EQ(box->GetCheckMode(), CSkinButton::CheckBoxMode);
  box->resize(20, 20);
  box->SetSkin({Solid(20, 20, Qt::red), Solid(20, 20, Qt::green), {}, {}, {}, {}}, 0, 0, 0);
  int seenAtClick = -1;
  QObject::connect(box, &QAbstractButton::clicked, [&] { seenAtClick = box->GetCheck(); });
  SendMouse(box, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton);
  SendMouse(box, QEvent::MouseButtonRelease, {5, 5}, Qt::NoButton);
  EXPECT_EQ(box->GetCheck(), 1);
  EXPECT_EQ(seenAtClick, 1);                                       // the click already sees the new state
  EXPECT_EQ(Render(*box, 0).pixelColor(5, 5), QColor(Qt::green));  // checked shows down face
  SendMouse(box, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton);
  SendMouse(box, QEvent::MouseButtonRelease, {50, 5}, Qt::NoButton);  // released elsewhere
  EXPECT_EQ(box->GetCheck(), 1);
  QTest::keyClick(box, Qt::Key_Space);
  EXPECT_EQ(box->GetCheck(), 0);
  QTest::keyClick(box, Qt::Key_A);
  EXPECT_EQ(box->GetCheck(), 0);

  // The mode is a bit test on the template style: an owner-drawn style (11) is a check box,
  // an auto radio button (9) a radio button, a plain push button (0) neither.
  CSkinButton other;
  other.PreSubclassWindow(CSkinButton::BS_OWNERDRAW);
  EXPECT_EQ(other.GetCheckMode(), CSkinButton::CheckBoxMode);
  other.PreSubclassWindow(CSkinButton::BS_AUTORADIOBUTTON | 0x50000000);
  EXPECT_EQ(other.GetCheckMode(), CSkinButton::RadioMode);
  other.PreSubclassWindow(0);
  other.SetCheck(1);
  EXPECT_EQ(other.GetCheck(), 0);  // a push button is never checked
}

TEST(CSkinButton, RadioButtonsUncheckTheirGroupOnly) {
  QWidget parent;
  std::vector<CSkinButton*> radios;
  for (int i = 0; i < 5; ++i) {
    radios.push_back(new CSkinButton(&parent));
    radios.back()->PreSubclassWindow(CSkinButton::BS_AUTORADIOBUTTON);
  }
  // Group A: 0, 1, 2. Group B starts at 3: 3, 4.
  CSkinButton::SetGroupStart(radios[0]);
  CSkinButton::SetGroupStart(radios[3]);
  for (CSkinButton* r : radios) {
    r->SetCheck(1);
    ProcessEventsFor(5);
  }
  // Each check unchecked the earlier ones of its own group only.
  std::vector<int> state;
  for (CSkinButton* r : radios) state.push_back(r->GetCheck());
  EXPECT_EQ(state, (std::vector<int>{0, 0, 1, 0, 1}));

  SendMouse(radios[1], QEvent::MouseButtonPress, {2, 2}, Qt::LeftButton);
  SendMouse(radios[1], QEvent::MouseButtonRelease, {2, 2}, Qt::NoButton);
  EXPECT_EQ(radios[2]->GetCheck(), 1);  // posted, not yet delivered
  ProcessEventsFor(10);
  state.clear();
  for (CSkinButton* r : radios) state.push_back(r->GetCheck());
  EXPECT_EQ(state, (std::vector<int>{0, 1, 0, 0, 1}));

  radios[1]->SetCheck(0);  // unchecking posts nothing
  ProcessEventsFor(10);
  EXPECT_EQ(radios[0]->GetCheck() + radios[1]->GetCheck() + radios[2]->GetCheck(), 0);

  CSkinButton orphan;  // no parent: sets its own state, unchecks nobody
  orphan.PreSubclassWindow(CSkinButton::BS_AUTORADIOBUTTON);
  orphan.SetCheck(1);
  EXPECT_EQ(orphan.GetCheck(), 1);
}

TEST(CSkinButton, DoubleClickCountsAsTwoClicks) {
  SkinnedButton s;
  int clicks = 0;
  QObject::connect(s.b, &QAbstractButton::clicked, [&] { ++clicks; });
  SendMouse(s.b, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton);
  SendMouse(s.b, QEvent::MouseButtonRelease, {5, 5}, Qt::NoButton);
  SendMouse(s.b, QEvent::MouseButtonDblClick, {5, 5}, Qt::LeftButton);
  SendMouse(s.b, QEvent::MouseButtonRelease, {5, 5}, Qt::NoButton);
  EXPECT_EQ(clicks, 2);
}

TEST(SkinBitmaps, KeyColourMaskAndTransparentDrawing) {
  QImage thumb = Solid(3, 2, Qt::magenta);
  thumb.setPixelColor(1, 0, Qt::red);
  thumb.setPixelColor(2, 1, Qt::black);
  CMaskedBitmap bmp;
  bmp.LoadWithKey(thumb, CMaskedBitmap::kTopLeftPixel);  // magenta
  EXPECT_EQ(bmp.Width(), 3);
  EXPECT_EQ(bmp.Height(), 2);
  EXPECT_EQ(bmp.Mask().pixelColor(0, 0), QColor(Qt::white));
  EXPECT_EQ(bmp.Mask().pixelColor(1, 0), QColor(Qt::black));
  EXPECT_EQ(bmp.Image().pixelColor(0, 0), QColor(Qt::black));  // key pixels blackened
  EXPECT_EQ(bmp.Image().pixelColor(1, 0), QColor(Qt::red));

  QImage target = Solid(5, 4, QColor(40, 80, 120));
  {
    QPainter p(&target);
    bmp.DrawTransparent(p, 1, 1);
  }
  EXPECT_EQ(target.pixelColor(1, 1), QColor(40, 80, 120));  // magenta shows the background
  EXPECT_EQ(target.pixelColor(2, 1), QColor(Qt::red));
  EXPECT_EQ(target.pixelColor(3, 2), QColor(Qt::black));  // black stays black
  EXPECT_EQ(target.pixelColor(0, 0), QColor(40, 80, 120));
  EXPECT_EQ(qAlpha(target.pixel(2, 1)), 255);

  // An explicit key; a missing image draws nothing.
  CMaskedBitmap keyed;
  keyed.LoadWithKey(thumb, qRgb(255, 0, 0));
  EXPECT_EQ(keyed.Mask().pixelColor(1, 0), QColor(Qt::white));
  CMaskedBitmap none;
  none.LoadWithKey(99999, CMaskedBitmap::kTopLeftPixel);
  EXPECT_EQ(none.Width(), 0);
  QImage untouched = Solid(2, 2, Qt::blue);
  {
    QPainter p(&untouched);
    none.DrawTransparent(p, 0, 0);
  }
  EXPECT_EQ(untouched.pixelColor(0, 0), QColor(Qt::blue));
}

TEST(SkinBitmaps, ComposePlacesTheImageByFlags) {
  const QSize client(20, 60), image(10, 8);
  using M = CMemBitmap;
  EXPECT_EQ(M::Placement(client, image, 0, 6, 10), QRect(0, 0, 10, 8));
  EXPECT_EQ(M::Placement(client, image, M::kCentre, 6, 10), QRect(5, 26, 10, 8));
  EXPECT_EQ(M::Placement(client, image, M::kCentreAcrossThumb, 6, 10), QRect(5, 1, 10, 8));
  EXPECT_EQ(M::Placement(client, image, M::kCentreAlongThumb, 6, 10), QRect(-2, 26, 10, 8));
  EXPECT_EQ(M::Placement(client, image, M::kCentre | M::kCentreAcrossThumb, 6, 10),
            QRect(5, 26, 10, 8));  // centre wins
  EXPECT_EQ(M::Placement(client, image, M::kCentre | M::kThumbMarginX, 6, 10), QRect(1, 26, 10, 8));
  EXPECT_EQ(M::Placement(client, image, M::kThumbMarginY | M::kStretchHeight, 6, 10), QRect(0, -1, 10, 62));  // H - 2y
  EXPECT_EQ(M::Placement(client, image, M::kThumbMarginX | M::kStretchWidth, 6, 10), QRect(1, 0, 18, 8));     // W - 2x
  EXPECT_EQ(M::Placement(client, image, M::kStretchWidth | M::kStretchHeight, 6, 10),
            QRect(0, 0, 20, 8));  // horizontal stretch wins
  // An image larger than the client, centred: negative position, cropped on all sides.
  EXPECT_EQ(M::Placement(QSize(4, 4), QSize(9, 7), M::kCentre, 0, 0), QRect(-2, -1, 9, 7));

  CMemBitmap bg;
  bg.Compose(QRect(0, 0, 20, 60), QImage(), 0, 6, 10);
  EXPECT_EQ(bg.Image().size(), client);
  EXPECT_EQ(bg.Image().pixelColor(19, 59), Face());
  bg.Compose(QRect(0, 0, 20, 60), Solid(10, 8, Qt::red), 0, 6, 10);
  EXPECT_EQ(bg.Image().pixelColor(9, 7), QColor(Qt::red));
  EXPECT_EQ(bg.Image().pixelColor(10, 8), Face());
  QImage screen = Solid(20, 60, Qt::black);
  {
    QPainter p(&screen);
    bg.CopyTo(p, QRect(8, 6, 4, 4));
  }
  EXPECT_EQ(screen.pixelColor(9, 7), QColor(Qt::red));
  EXPECT_EQ(screen.pixelColor(11, 9), Face());
  EXPECT_EQ(screen.pixelColor(7, 7), QColor(Qt::black));  // outside the copied rectangle
}

TEST(CTipSlider, ThumbPositionArithmetic) {
  // 60 pixels high, a 10-pixel thumb, range 0..100: from -1 at 0 to 50 at 100.
  const QRect client(0, 0, 9, 60);
  EXPECT_EQ(CTipSlider::ThumbRect(client, {9, 10}, true, 0, 100, 0), QRect(0, -1, 9, 10));
  EXPECT_EQ(CTipSlider::ThumbRect(client, {9, 10}, true, 0, 100, 100), QRect(0, 50, 9, 10));
  EXPECT_EQ(CTipSlider::ThumbRect(client, {9, 10}, true, 0, 100, 50), QRect(0, 24, 9, 10));
  // Fractions drop toward zero; an empty range puts the thumb at the start.
  EXPECT_EQ(CTipSlider::ThumbRect(client, {9, 10}, true, 0, 3, 1).top(), 17 + 4 - 5);
  EXPECT_EQ(CTipSlider::ThumbRect(client, {9, 10}, true, 5, 5, 5).top(), -1);
  // Horizontal: the thumb stands at the top edge.
  EXPECT_EQ(CTipSlider::ThumbRect(QRect(0, 0, 109, 12), {8, 12}, false, 0, 10, 10), QRect(100, 0, 8, 12));
}

TEST(CTipSlider, PaintsBackgroundAndThumbAndTracksTheMouse) {
  QWidget parent;
  auto* slider = new CTipSlider(Qt::Vertical, &parent);
  slider->setGeometry(0, 0, 9, 60);
  slider->setRange(0, 100);
  QImage thumb = Solid(9, 10, Qt::magenta);  // magenta corner: the key
  for (int y = 2; y < 8; ++y)
    for (int x = 1; x < 8; ++x) thumb.setPixelColor(x, y, Qt::yellow);
  QImage active = thumb;
  for (int y = 2; y < 8; ++y)
    for (int x = 1; x < 8; ++x) active.setPixelColor(x, y, Qt::red);
  slider->SetSkin(Solid(9, 60, Qt::darkGray), thumb, active, CTipSlider::kTip);
  slider->SetPos(50);
  parent.resize(50, 80);
  parent.show();
  ProcessEventsFor(10);
  QImage shot = slider->grab().toImage();
  EXPECT_EQ(shot.pixelColor(4, 29), QColor(Qt::yellow));
  EXPECT_EQ(shot.pixelColor(0, 25), QColor(Qt::darkGray));  // key colour shows the background
  EXPECT_EQ(shot.pixelColor(4, 5), QColor(Qt::darkGray));

  // A press on the channel pages without grabbing: no tip, no active thumb.
  slider->setPageStep(10);
  SendMouse(slider, QEvent::MouseButtonPress, {4, 55}, Qt::LeftButton);
  EXPECT_EQ(slider->value(), 60);
  EXPECT_FALSE(slider->IsGrabbed());
  EXPECT_FALSE(CTipSlider::TipVisible());
  SendMouse(slider, QEvent::MouseButtonRelease, {4, 55}, Qt::NoButton);

  // A press on the thumb grabs it: active thumb and tip with the value at the thumb's corner.
  const QRect r = slider->GetThumbRect();
  SendMouse(slider, QEvent::MouseButtonPress, r.center(), Qt::LeftButton);
  EXPECT_TRUE(slider->IsGrabbed());
  EXPECT_TRUE(CTipSlider::TipVisible());
  EXPECT_EQ(CTipSlider::TipText(), "60");
  EXPECT_EQ(slider->grab().toImage().pixelColor(4, r.center().y()), QColor(Qt::red));
  const QPoint tipAt = CTipSlider::TipPosition();
  // Dragging: the tip text lags one move behind and, without the follow flag, stays put.
  SendMouse(slider, QEvent::MouseMove, {4, -40}, Qt::LeftButton);
  EXPECT_EQ(slider->value(), 0);
  EXPECT_EQ(CTipSlider::TipText(), "60");
  SendMouse(slider, QEvent::MouseMove, {4, 200}, Qt::LeftButton);
  EXPECT_EQ(CTipSlider::TipText(), "0");
  EXPECT_EQ(slider->value(), 100);
  EXPECT_EQ(CTipSlider::TipPosition(), tipAt);
  SendMouse(slider, QEvent::MouseButtonRelease, {4, 60}, Qt::NoButton);
  EXPECT_FALSE(CTipSlider::TipVisible());
  EXPECT_FALSE(slider->IsGrabbed());
}

TEST(CTipSlider, AnUprightSliderHasItsMaximumAtTheTop) {
  QWidget parent;
  auto* slider = new CTipSlider(Qt::Vertical, &parent);
  slider->setGeometry(0, 0, 9, 60);
  slider->setRange(0, 100);
  slider->setInvertedAppearance(true);
  slider->SetSkin(Solid(9, 60, Qt::darkGray), Solid(9, 10, Qt::magenta), QImage(), 0);
  // Where the thumb stands is MainWindowSkin's. A press above the thumb pages up; dragging to the
  // top gives the maximum.
  slider->setPageStep(10);
  slider->SetPos(50);
  SendMouse(slider, QEvent::MouseButtonPress, {4, 3}, Qt::LeftButton);
  EXPECT_EQ(slider->value(), 60);
  SendMouse(slider, QEvent::MouseButtonRelease, {4, 3}, Qt::NoButton);
  const QRect r = slider->GetThumbRect();
  SendMouse(slider, QEvent::MouseButtonPress, r.center(), Qt::LeftButton);
  SendMouse(slider, QEvent::MouseMove, {4, -40}, Qt::LeftButton);
  EXPECT_EQ(slider->value(), 100);
  SendMouse(slider, QEvent::MouseMove, {4, 200}, Qt::LeftButton);
  EXPECT_EQ(slider->value(), 0);
  SendMouse(slider, QEvent::MouseButtonRelease, {4, 200}, Qt::NoButton);
}

TEST(CStyledStatic, StyleFlagsSwitchOnAndAlignmentIsSetAnew) {
  CStyledStatic s("a & b");
  EXPECT_EQ(s.BackColor(), Face());  // no background colour set
  s.SetStyleFlags(0x21);
  EXPECT_EQ(s.TextFont().weight(), QFont::Black);
  EXPECT_TRUE(s.TextFlags() & Qt::AlignHCenter);
  s.SetStyleFlags(0x02);
  EXPECT_EQ(s.TextFont().weight(), QFont::Black);  // kept
  EXPECT_TRUE(s.TextFont().italic());
  EXPECT_TRUE(s.TextFlags() & Qt::AlignLeft);
  s.SetStyleFlags(0xA0);  // centre wins over right
  EXPECT_TRUE(s.TextFlags() & Qt::AlignHCenter);
  s.SetStyleFlags(0x80 | 0x0C | 0x10);
  EXPECT_TRUE(s.TextFlags() & Qt::AlignRight);
  EXPECT_TRUE(s.TextFont().underline());
  EXPECT_TRUE(s.TextFont().strikeOut());
  EXPECT_TRUE(s.TextFlags() & Qt::TextWordWrap);
  EXPECT_FALSE(s.TextFlags() & Qt::TextShowMnemonic);

  // (The size of the text style's cell is MainWindowSkin's.)
  s.SetTextStyle("Arial", 16, QColor(202, 202, 202), 1);
  s.SetBackColor(QColor(36, 62, 111));
  EXPECT_EQ(s.TextFont().family(), "Arial");
  s.resize(60, 20);
  const QImage shot = s.grab().toImage();
  EXPECT_EQ(shot.pixelColor(59, 19), QColor(36, 62, 111));
  bool textDrawn = false;
  for (int x = 0; x < 30 && !textDrawn; ++x)
    for (int y = 0; y < 20 && !textDrawn; ++y) textDrawn = shot.pixelColor(x, y) != QColor(36, 62, 111);
  EXPECT_TRUE(textDrawn);
}

TEST(CTransparentStatic, ShorterTextLeavesNoTraceOfTheLonger) {
  QWidget parent;
  parent.resize(200, 40);
  QPalette pal = parent.palette();
  pal.setColor(QPalette::Window, QColor(0, 90, 0));
  parent.setPalette(pal);
  parent.setAutoFillBackground(true);
  auto* label = new CTransparentStatic(&parent);
  label->setGeometry(0, 0, 200, 40);
  label->SetWindowText("WWWWWWWWWWWWWWWWWWWW");
  parent.show();
  ProcessEventsFor(10);
  label->SetWindowText("W");
  ProcessEventsFor(10);
  const QImage shot = parent.grab().toImage();
  EXPECT_EQ(shot.pixelColor(150, 20), QColor(0, 90, 0));
  EXPECT_EQ(shot.pixelColor(100, 20), QColor(0, 90, 0));
}
