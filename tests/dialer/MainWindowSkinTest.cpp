// The main window's skin: its shape, and what its controls show after start-up.
#include <QProgressBar>
#include <QTest>

#include <QFontMetrics>
#include <gtest/gtest.h>

#include "res/Resources.h"
#include "tests/dialer/WindowControls.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/WorkFolder.h"

namespace {

// The window after the shaping and skin steps of the start-up.
class MainWindowSkin : public ::testing::Test {
 protected:
  MainWindowSkin() {
    dlg.ShapeWindow();
    dlg.SkinControls();
  }

  WorkFolder dir;
  CDialerDlg dlg;
};

// What the button paints in its current state.
QImage Face(CSkinButton* b) { return b->grab().toImage().convertToFormat(QImage::Format_RGB32); }

// The bitmap as copy drawing shows it on a button of that size (rows of keys differ by one
// pixel in height).
QImage Bitmap(int id, CSkinButton* b) {
  return LoadBitmapResource(id).convertToFormat(QImage::Format_RGB32).copy(b->rect());
}

}  // namespace

TEST_F(MainWindowSkin, WindowTakesTheShapeOfItsSkin) {
  ASSERT_NE(dlg.Bitmap(), nullptr);
  EXPECT_EQ(dlg.Bitmap()->size(), QSize(282, 440));
  const QRegion shape = dlg.mask();
  EXPECT_FALSE(shape.contains(QPoint(0, 0)));  // a rounded corner is a hole
  EXPECT_FALSE(shape.contains(QPoint(281, 439)));
  EXPECT_TRUE(shape.contains(QPoint(141, 220)));
  EXPECT_FALSE(shape.contains(QPoint(290, 220)));  // beyond the bitmap: not part of the window
  // Every visible control lies inside the shape.
  for (int id : {1000, 1018, 1003, 1013, 1014, 1026, 1022, 1023, 1024, 1029, 1030, 1065})
    EXPECT_TRUE(shape.contains(dlg.GetDlgItem(id)->geometry())) << id;
  // The skin is what the window shows where no control stands.
  const QImage shown = dlg.grab().toImage();
  const QImage skin = dlg.Bitmap()->convertToFormat(QImage::Format_RGB32);
  for (QPoint p : {QPoint(141, 5), QPoint(20, 200), QPoint(141, 435), QPoint(270, 300)}) {
    ASSERT_EQ(dlg.childAt(p), nullptr) << p.x() << "," << p.y();
    EXPECT_EQ(shown.pixel(p), skin.pixel(p)) << p.x() << "," << p.y();
  }
}

TEST_F(MainWindowSkin, ButtonsShowTheirBitmapsByState) {
  auto* hangUp = Control<CSkinButton>(dlg, IDC_HANGUP);
  auto* call = Control<CSkinButton>(dlg, IDC_CALL);
  EXPECT_FALSE(hangUp->isEnabled());
  EXPECT_EQ(Face(hangUp), Bitmap(251, hangUp));  // disabled face
  EXPECT_EQ(Face(call), Bitmap(179, call));
  CSkinButton* key1 = static_cast<CSkinButton*>(dlg.GetDlgItem(1003));
  EXPECT_EQ(Face(key1), Bitmap(149, key1));
  key1->setDown(true);
  EXPECT_EQ(Face(key1), Bitmap(228, key1));
  key1->setDown(false);
  EXPECT_EQ(key1->accessibleName(), "1");
}

TEST_F(MainWindowSkin, TextLinesAndSlidersAreStyled) {
  auto* status = Control<CStyledStatic>(dlg, IDC_STATUS);
  auto* balance = Control<CStyledStatic>(dlg, IDC_BALANCE);
  auto* speaker = Control<CTipSlider>(dlg, IDC_SPEAKER_VOLUME);
  EXPECT_EQ(status->BackColor(), QColor(36, 62, 111));
  EXPECT_EQ(status->TextColor(), QColor(202, 202, 202));
  // Height 16 is the character cell: the whole text fits the line's 16 pixels.
  EXPECT_LE(QFontMetrics(balance->TextFont()).height(), 16);
  EXPECT_GE(QFontMetrics(balance->TextFont()).height(), 13);
  EXPECT_EQ(balance->TextFont().weight(), QFont::Black);
  // Every text of a call, up to one of 99 minutes, fits the status line whole: the duration
  // is not wrapped out of sight below it.
  for (const char* text : {"Connecting.....", "Ringing.....", "Call Duration : 99.59", "Total Duration : 99.59"}) {
    const QRect need = QFontMetrics(status->TextFont()).boundingRect(status->rect(), status->TextFlags(), text);
    EXPECT_LE(need.width(), status->width()) << text;
    EXPECT_LE(need.height(), status->height()) << text;
  }
  // Louder is up: the largest volume puts the thumb's centre 4 pixels from the top, silence
  // 5 pixels from the bottom.
  speaker->setRange(0, 65535);
  speaker->SetPos(65535);
  QRect thumb = speaker->GetThumbRect();
  EXPECT_EQ(thumb.top() + thumb.height() / 2, 4);
  speaker->SetPos(0);
  thumb = speaker->GetThumbRect();
  EXPECT_EQ(thumb.top() + thumb.height() / 2, speaker->height() - 5);
  // The up arrow makes it louder (the setting goes to a stand-in, not the sound server).
  dlg.VolumeWriter().SetSetter([](unsigned, unsigned, unsigned, unsigned) { return true; });
  speaker->setFocus();
  QTest::keyClick(speaker, Qt::Key_Up);
  EXPECT_GT(speaker->value(), 0);
  EXPECT_EQ(Control(dlg, IDC_RX_LEVEL)->palette().color(QPalette::Highlight), QColor(128, 0, 64));
  EXPECT_EQ(Control(dlg, IDC_TX_LEVEL)->palette().color(QPalette::Highlight), QColor(0, 196, 0));
}
