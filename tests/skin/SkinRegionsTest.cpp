// Outlines cut from bitmaps, and the shaped dialog that uses them.
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <gtest/gtest.h>

#include "skin/CShapedDialog.h"
#include "skin/SkinRegions.h"
#include "tests/support/QtTestMain.h"

namespace {

const QRgb kBlue = qRgb(0, 0, 255);

// Rows written as text: 'b' blue (transparent), anything else opaque.
QImage Rows(const std::vector<std::string>& rows) {
  QImage image(int(rows[0].size()), int(rows.size()), QImage::Format_RGB32);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      image.setPixel(x, y, rows[size_t(y)][size_t(x)] == 'b' ? kBlue : qRgb(200, 10, 10));
  return image;
}

std::vector<QRect> R(std::initializer_list<std::array<int, 4>> list) {
  std::vector<QRect> out;
  for (auto [x, y, w, h] : list) out.emplace_back(x, y, w, h);
  return out;
}

// Presses on w at from, moves to to and lets go there.
void Drag(QWidget* w, QPoint from, QPoint to) {
  SendMouse(w, QEvent::MouseButtonPress, from, Qt::LeftButton);
  SendMouse(w, QEvent::MouseMove, to, Qt::LeftButton);
  SendMouse(w, QEvent::MouseButtonRelease, to, Qt::NoButton);
}

}  // namespace

TEST(SkinRegions, OneRectanglePerOpaqueRunRowByRow) {
  const QImage image = Rows({
      "bbbbbb",  // all transparent: nothing
      "xxxxxx",  // no transparent pixel: one run over w
      "xxbbbb",  // opaque then transparent: stops at the first blue
      "bxbxxb",  // two runs
      "bbbbbx",  // a run of one in the last column
  });
  EXPECT_EQ(OpaqueRuns(image, kBlue, 6, 5), R({{0, 1, 6, 1}, {0, 2, 2, 1}, {1, 3, 1, 1}, {3, 3, 2, 1}, {5, 4, 1, 1}}));
  // Only the w × h corner counts, and the offset moves every run.
  EXPECT_EQ(OpaqueRuns(image, kBlue, 4, 3, QPoint(10, 20)), R({{10, 21, 4, 1}, {10, 22, 2, 1}}));
  // A colour that differs by one step is opaque.
  EXPECT_EQ(OpaqueRuns(image, qRgb(0, 0, 254), 6, 1), R({{0, 0, 6, 1}}));
  // Neighbouring rows are never merged.
  EXPECT_EQ(OpaqueRuns(Rows({"xx", "xx"}), kBlue, 2, 2), R({{0, 0, 2, 1}, {0, 1, 2, 1}}));
}

TEST(SkinRegions, MaskRunsGoBottomUpAgainstTheKey) {
  const QRgb white = qRgb(255, 255, 255);
  QImage mask(3, 2, QImage::Format_RGB32);
  mask.fill(white);
  mask.setPixel(2, 0, qRgb(0, 0, 0));
  mask.setPixel(0, 1, qRgb(0, 0, 0));
  mask.setPixel(1, 1, qRgb(9, 9, 9));
  EXPECT_EQ(MaskRuns(mask, white), R({{0, 1, 2, 1}, {2, 0, 1, 1}}));

  QImage one(1, 1, QImage::Format_RGB32);
  one.fill(qRgb(1, 2, 3));
  EXPECT_EQ(RegionFromRects(MaskRuns(one, white)), QRegion(0, 0, 1, 1));
  one.fill(white);
  EXPECT_TRUE(RegionFromRects(MaskRuns(one, white)).isEmpty());
  EXPECT_TRUE(MaskRuns(QImage(), white).empty());
}

TEST(CShapedDialog, RegionFollowsBitmapShapeAndColour) {
  CShapedDialog dlg;
  dlg.resize(6, 4);
  ASSERT_TRUE(dlg.SetBitmap(Rows({"bxxxxb", "xxxxxx", "xxxxxx", "bxxxxb"})));
  // Not shaped: the whole window, whatever the bitmap holds.
  EXPECT_EQ(dlg.WindowRegion(), QRegion(0, 0, 6, 4));
  dlg.SetShaped(true);  // no transparent colour yet: every bitmap pixel stays
  EXPECT_EQ(dlg.WindowRegion(), QRegion(0, 0, 6, 4));
  dlg.SetTransparentColor(kBlue);
  QRegion expected = QRegion(1, 0, 4, 1) + QRegion(0, 1, 6, 2) + QRegion(1, 3, 4, 1);
  EXPECT_EQ(dlg.WindowRegion(), expected);
  EXPECT_EQ(dlg.mask(), expected);

  // A client area larger than the bitmap: the pixels beyond it are not part of the window.
  dlg.resize(10, 8);
  EXPECT_EQ(dlg.WindowRegion(), expected);
  dlg.SetShaped(false);
  EXPECT_EQ(dlg.WindowRegion(), QRegion(0, 0, 10, 8));
  EXPECT_TRUE(dlg.mask().isEmpty());
}

TEST(CShapedDialog, PaintsItsBitmapAndLetsStaticsShowIt) {
  CShapedDialog dlg;
  dlg.resize(20, 20);
  QImage bg(20, 20, QImage::Format_RGB32);
  bg.fill(qRgb(10, 200, 30));
  ASSERT_TRUE(dlg.SetBitmap(bg));
  auto* label = new QLabel("x", &dlg);
  auto* slider = new QSlider(&dlg);
  dlg.SetTransparentStatics(true);
  EXPECT_FALSE(label->autoFillBackground());
  EXPECT_TRUE(slider->autoFillBackground());  // sliders keep their ordinary background
  dlg.SetTransparentStatics(false);
  EXPECT_TRUE(label->autoFillBackground());
  dlg.SetTransparentStatics(true);
  auto* late = new QLabel("later", &dlg);  // statics made afterwards follow too
  dlg.show();
  ProcessEventsFor(20);
  EXPECT_FALSE(late->autoFillBackground());
  EXPECT_EQ(dlg.grab(QRect(15, 15, 1, 1)).toImage().pixel(0, 0), qRgb(10, 200, 30));
}

TEST(CShapedDialog, OwnedBitmapsAreFreedBorrowedOnesAreNot) {
  auto* borrowed = new QImage(4, 4, QImage::Format_RGB32);
  borrowed->fill(Qt::red);
  {
    CShapedDialog dlg;
    ASSERT_TRUE(dlg.SetBitmap(*borrowed));  // a copy of its own
    EXPECT_NE(dlg.Bitmap(), borrowed);
    dlg.SetBitmap(borrowed);  // replaces (and frees) the copy, borrows this one
    EXPECT_EQ(dlg.Bitmap(), borrowed);
    dlg.SetBitmap(QImage());  // replacing a borrowed bitmap leaves it alone
    EXPECT_EQ(dlg.Bitmap(), nullptr);
    dlg.SetBitmap(borrowed);
    EXPECT_FALSE(dlg.SetBitmap(99999));  // no such resource: no bitmap
    EXPECT_EQ(dlg.Bitmap(), nullptr);
    dlg.SetBitmap(borrowed);
  }  // ASan reports a double free if the dialog freed what it borrowed
  EXPECT_EQ(borrowed->pixel(0, 0), qRgb(255, 0, 0));
  delete borrowed;
}

TEST(CShapedDialog, DragsByItsBodyNotByItsButtons) {
  CShapedDialog dlg;
  dlg.setWindowFlags(Qt::FramelessWindowHint);
  dlg.resize(100, 100);
  auto* button = new QPushButton("b", &dlg);
  button->setGeometry(60, 60, 30, 30);
  dlg.move(50, 50);
  dlg.show();
  ProcessEventsFor(20);
  const QPoint start = dlg.pos();

  // Without drag by body nothing moves.
  Drag(&dlg, {10, 10}, {30, 25});
  EXPECT_EQ(dlg.pos(), start);

  dlg.SetDragByBody(true);
  Drag(button, {5, 5}, {25, 25});
  EXPECT_EQ(dlg.pos(), start);

  Drag(&dlg, {10, 10}, {30, 25});
  EXPECT_EQ(dlg.pos(), start + QPoint(20, 15));
}
