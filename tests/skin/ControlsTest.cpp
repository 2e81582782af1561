// The skinned controls as the window uses them: the button's press and click, the volume slider,
// and the shaped dialog's drag.
#include <QApplication>
#include <QPushButton>
#include <gtest/gtest.h>

#include "skin/CShapedDialog.h"
#include "skin/CSkinButton.h"
#include "skin/CTipSlider.h"
#include "tests/support/QtTestMain.h"

namespace {

using B = CSkinButton;

QImage Solid(int w, int h, QColor c) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(c);
  return image;
}

// Normal red, down green, over blue, disabled yellow, focus cyan.
B::Faces AllFaces(int w, int h) {
  return {Solid(w, h, Qt::red),    Solid(w, h, Qt::green), Solid(w, h, Qt::blue),
          Solid(w, h, Qt::yellow), Solid(w, h, Qt::cyan),  QImage()};
}

void Drag(QWidget* w, QPoint from, QPoint to) {
  SendMouse(w, QEvent::MouseButtonPress, from, Qt::LeftButton);
  SendMouse(w, QEvent::MouseMove, to, Qt::LeftButton);
  SendMouse(w, QEvent::MouseButtonRelease, to, Qt::NoButton);
}

}  // namespace

TEST(CSkinButton, APressShowsWhileThePointerStaysOnAndClicksOnlyWhereItWasLetGo) {
  QWidget parent;
  auto* b = new B(&parent);
  b->resize(20, 12);
  b->SetSkin(AllFaces(20, 12), 0, 0, 4);
  parent.show();
  ProcessEventsFor(10);
  int clicks = 0;
  QObject::connect(b, &QAbstractButton::clicked, [&] { ++clicks; });
  SendMouse(b, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton);
  EXPECT_TRUE(b->isDown());
  SendMouse(b, QEvent::MouseMove, {40, 5}, Qt::LeftButton);
  EXPECT_FALSE(b->isDown());
  SendMouse(b, QEvent::MouseMove, {6, 5}, Qt::LeftButton);
  EXPECT_TRUE(b->isDown());
  SendMouse(b, QEvent::MouseMove, {40, 5}, Qt::LeftButton);
  SendMouse(b, QEvent::MouseButtonRelease, {40, 5}, Qt::NoButton);
  EXPECT_EQ(clicks, 0);
  EXPECT_FALSE(b->IsPressed());
  // A quick second click is a click of its own.
  SendMouse(b, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton);
  SendMouse(b, QEvent::MouseButtonRelease, {5, 5}, Qt::NoButton);
  SendMouse(b, QEvent::MouseButtonDblClick, {5, 5}, Qt::LeftButton);
  SendMouse(b, QEvent::MouseButtonRelease, {5, 5}, Qt::NoButton);
  EXPECT_EQ(clicks, 2);
}

// As the window's volume sliders: upright (inverted appearance, the maximum at the top) or not, a
// press on the channel pages toward it and a press on the thumb drags it; the thumb's key colour
// shows the background.
TEST(CTipSlider, PagesAndDragsTheWayItsThumbRuns) {
  // Fractions drop toward zero; an empty range puts the thumb at the start.
  EXPECT_EQ(CTipSlider::ThumbRect({0, 0, 9, 60}, {9, 10}, true, 0, 3, 1).top(), 17 + 4 - 5);
  EXPECT_EQ(CTipSlider::ThumbRect({0, 0, 9, 60}, {9, 10}, true, 5, 5, 5).top(), -1);
  QImage thumb = Solid(9, 10, Qt::magenta);  // magenta corner: the key
  for (int y = 2; y < 8; ++y)
    for (int x = 1; x < 8; ++x) thumb.setPixelColor(x, y, Qt::yellow);
  for (bool upright : {false, true}) {
    SCOPED_TRACE(upright);
    QWidget parent;
    auto* slider = new CTipSlider(Qt::Vertical, &parent);
    slider->setGeometry(0, 0, 9, 60);
    slider->setRange(0, 100);
    slider->setInvertedAppearance(upright);
    slider->SetSkin(Solid(9, 60, Qt::darkGray), thumb, QImage(), 0);
    slider->setPageStep(10);
    slider->SetPos(50);
    parent.show();
    ProcessEventsFor(10);
    const QPoint channel(4, upright ? 3 : 55);
    SendMouse(slider, QEvent::MouseButtonPress, channel, Qt::LeftButton);
    EXPECT_EQ(slider->value(), 60);
    SendMouse(slider, QEvent::MouseButtonRelease, channel, Qt::NoButton);
    const QRect r = slider->GetThumbRect();
    const QImage shot = slider->grab().toImage();
    EXPECT_EQ(shot.pixelColor(4, r.center().y()), QColor(Qt::yellow));
    EXPECT_EQ(shot.pixelColor(0, r.top()), QColor(Qt::darkGray));
    EXPECT_EQ(shot.pixelColor(4, upright ? 55 : 5), QColor(Qt::darkGray));
    SendMouse(slider, QEvent::MouseButtonPress, r.center(), Qt::LeftButton);
    SendMouse(slider, QEvent::MouseMove, {4, -40}, Qt::LeftButton);
    EXPECT_EQ(slider->value(), upright ? 100 : 0);
    SendMouse(slider, QEvent::MouseMove, {4, 200}, Qt::LeftButton);
    EXPECT_EQ(slider->value(), upright ? 0 : 100);
    SendMouse(slider, QEvent::MouseButtonRelease, {4, 200}, Qt::NoButton);
  }
}

TEST(CShapedDialog, TheBodyDragsTheDialogAndAControlDoesNot) {
  CShapedDialog dlg;
  dlg.setWindowFlags(Qt::FramelessWindowHint);
  dlg.resize(100, 100);
  ASSERT_TRUE(dlg.SetBitmap(Solid(100, 100, QColor(10, 200, 30))));
  auto* button = new QPushButton("b", &dlg);
  button->setGeometry(60, 60, 30, 30);
  dlg.move(50, 50);
  dlg.show();
  ProcessEventsFor(20);

  const QPoint start = dlg.pos();
  Drag(&dlg, {10, 10}, {30, 25});
  EXPECT_EQ(dlg.pos(), start);  // not before drag by body is on
  dlg.SetDragByBody(true);
  Drag(button, {5, 5}, {25, 25});
  EXPECT_EQ(dlg.pos(), start);
  Drag(&dlg, {10, 10}, {30, 25});
  EXPECT_EQ(dlg.pos(), start + QPoint(20, 15));
}
