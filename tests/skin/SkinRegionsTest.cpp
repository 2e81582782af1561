// Outlines cut from bitmaps, and the shaped dialog that uses them.
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <gtest/gtest.h>

#include "skin/CShapedDialog.h"
#include "skin/SkinRegions.h"
#include "tests/support/QtTestMain.h"

namespace {

void Drag(QWidget* w, QPoint from, QPoint to) {
  SendMouse(w, QEvent::MouseButtonPress, from, Qt::LeftButton);
  SendMouse(w, QEvent::MouseMove, to, Qt::LeftButton);
  SendMouse(w, QEvent::MouseButtonRelease, to, Qt::NoButton);
}

}  // namespace

TEST(SkinRegions, OneRectanglePerOpaqueRunRowByRow) {
  const QRgb blue = qRgb(0, 0, 255);
  // 'b' transparent: an empty row, a full row, a run stopping at the first blue, two runs, a run
  // of one in the last column.
  const char* rows[] = {"bbbbbb", "xxxxxx", "xxbbbb", "bxbxxb", "bbbbbx"};
  QImage image(6, 5, QImage::Format_RGB32);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) image.setPixel(x, y, rows[y][x] == 'b' ? blue : qRgb(200, 10, 10));
  const auto rects = [](std::initializer_list<QRect> list) { return std::vector<QRect>(list); };
  EXPECT_EQ(OpaqueRuns(image, blue, 6, 5),
            rects({{0, 1, 6, 1}, {0, 2, 2, 1}, {1, 3, 1, 1}, {3, 3, 2, 1}, {5, 4, 1, 1}}));
  // Only the w × h corner counts, the offset moves every run, one step off the key is opaque.
  EXPECT_EQ(OpaqueRuns(image, blue, 4, 3, QPoint(10, 20)), rects({{10, 21, 4, 1}, {10, 22, 2, 1}}));
  EXPECT_EQ(OpaqueRuns(image, qRgb(0, 0, 254), 6, 1), rects({{0, 0, 6, 1}}));
}

TEST(CShapedDialog, StaticsShowTheBitmapAndTheBodyDragsTheDialog) {
  CShapedDialog dlg;
  dlg.setWindowFlags(Qt::FramelessWindowHint);
  dlg.resize(100, 100);
  QImage bg(100, 100, QImage::Format_RGB32);
  bg.fill(qRgb(10, 200, 30));
  ASSERT_TRUE(dlg.SetBitmap(bg));
  auto* label = new QLabel("x", &dlg);
  auto* slider = new QSlider(&dlg);
  auto* button = new QPushButton("b", &dlg);
  button->setGeometry(60, 60, 30, 30);
  dlg.SetTransparentStatics(true);
  auto* late = new QLabel("later", &dlg);  // statics made afterwards follow too
  dlg.move(50, 50);
  dlg.show();
  ProcessEventsFor(20);
  EXPECT_FALSE(label->autoFillBackground());
  EXPECT_FALSE(late->autoFillBackground());
  EXPECT_TRUE(slider->autoFillBackground());  // sliders keep their ordinary background
  EXPECT_EQ(dlg.grab(QRect(15, 85, 1, 1)).toImage().pixel(0, 0), qRgb(10, 200, 30));

  const QPoint start = dlg.pos();
  Drag(&dlg, {10, 10}, {30, 25});
  EXPECT_EQ(dlg.pos(), start);  // not before drag by body is on
  dlg.SetDragByBody(true);
  Drag(button, {5, 5}, {25, 25});
  EXPECT_EQ(dlg.pos(), start);
  Drag(&dlg, {10, 10}, {30, 25});
  EXPECT_EQ(dlg.pos(), start + QPoint(20, 15));
}
