// The main window after the shaping and skin steps of the start-up.
#include <QFontMetrics>

#include <gtest/gtest.h>

#include "tests/dialer/WindowControls.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/WorkFolder.h"

namespace {

class MainWindowSkin : public ::testing::Test {
 protected:
  MainWindowSkin() {
    dlg.ShapeWindow();
    dlg.SkinControls();
  }

  WorkFolder dir;
  CDialerDlg dlg;
};

}  // namespace

TEST_F(MainWindowSkin, WindowTakesTheShapeOfItsSkinAndShowsItWhereNoControlStands) {
  ASSERT_NE(dlg.Bitmap(), nullptr);
  const QRegion shape = dlg.mask();
  EXPECT_FALSE(shape.contains(QPoint(0, 0)));  // a rounded corner is a hole
  EXPECT_FALSE(shape.contains(QPoint(281, 439)));
  EXPECT_TRUE(shape.contains(QPoint(141, 220)));
  EXPECT_FALSE(shape.contains(QPoint(290, 220)));
  for (int id : {1000, 1018, 1003, 1013, 1014, 1026, 1022, 1023, 1024, 1029, 1030, 1065})
    EXPECT_TRUE(shape.contains(dlg.GetDlgItem(id)->geometry())) << id;
  const QImage shown = dlg.grab().toImage();
  const QImage skin = dlg.Bitmap()->convertToFormat(QImage::Format_RGB32);
  for (QPoint p : {QPoint(141, 5), QPoint(20, 200), QPoint(141, 435), QPoint(270, 300)}) {
    ASSERT_EQ(dlg.childAt(p), nullptr) << p.x() << "," << p.y();
    EXPECT_EQ(shown.pixel(p), skin.pixel(p)) << p.x() << "," << p.y();
  }
}

TEST_F(MainWindowSkin, EveryTextOfACallFitsTheStatusLineAndLouderIsUp) {
  auto* status = Control<CStyledStatic>(dlg, IDC_STATUS);
  // The character cell is the line's height: the whole text fits its 16 pixels.
  EXPECT_LE(QFontMetrics(status->TextFont()).height(), 16);
  EXPECT_GE(QFontMetrics(status->TextFont()).height(), 13);
  for (const char* text : {"Connecting.....", "Ringing.....", "Call Duration : 99.59", "Total Duration : 99.59"}) {
    const QRect need = QFontMetrics(status->TextFont()).boundingRect(status->rect(), status->TextFlags(), text);
    EXPECT_LE(need.width(), status->width()) << text;
    EXPECT_LE(need.height(), status->height()) << text;
  }
  // The largest volume puts the thumb's centre 4 pixels from the top.
  auto* speaker = Control<CTipSlider>(dlg, IDC_SPEAKER_VOLUME);
  speaker->setRange(0, 65535);
  speaker->SetPos(65535);
  EXPECT_EQ(speaker->GetThumbRect().top() + speaker->GetThumbRect().height() / 2, 4);
}
