// The shipped pictures: every number the windows use is there, at the size of the control that
// shows it, and the banner is a real animation.
#include <cstdlib>
#include <set>

#include <QFile>
#include <gtest/gtest.h>

#include "platform/DialogUnits.h"
#include "res/Resources.h"
#include "res/SignInLayout.h"
#include "skin/CPictureEx.h"
#include "skin/GifWalker.h"
#include "tests/support/QtTestMain.h"

TEST(Pictures, EveryBitmapAndIconIsShipped) {
  const std::set<int> bitmaps = {131, 135, 136, 149, 164, 165, 166, 167, 168, 169, 170, 171, 172, 173, 174, 175, 176,
                                 177, 179, 180, 187, 206, 207, 212, 214, 215, 216, 217, 218, 219, 220, 221, 223, 224,
                                 225, 226, 227, 228, 229, 230, 231, 232, 233, 234, 235, 236, 237, 238, 239, 240, 244,
                                 245, 246, 247, 248, 251, 252, 253, 254, 255, 258, 260, 262, 263, 264, 265, 266};
  for (int id : bitmaps) EXPECT_FALSE(LoadBitmapResource(id).isNull()) << id;
  for (int id : {128, 137, 138, 139, 140}) EXPECT_FALSE(LoadIconResource(id).isNull()) << id;

  // Keypad, call and hang-up faces fit their buttons exactly (copy drawing at natural size).
  const QSize key = DluToPixels(22, 168, 35, 20).size();
  for (int id : {149, 228, 215, 179, 244, 262, 248, 180, 252, 263, 251, 177, 207})
    EXPECT_EQ(LoadBitmapResource(id).size(), key) << id;
  // The slider pictures fit the trackbars; the thumb's corner is its key colour.
  const QSize slider = DluToPixels(19, 62, 6, 43).size();
  EXPECT_EQ(LoadBitmapResource(253).size(), slider);
  const QImage thumb = LoadBitmapResource(254);
  EXPECT_EQ(thumb.width(), slider.width());
  EXPECT_EQ(thumb.pixelColor(0, 0), QColor(255, 0, 255));
  EXPECT_EQ(LoadBitmapResource(255).size(), QSize(312, 258));
  const SignInControl& ok = kSignInControls[6];
  EXPECT_EQ(LoadBitmapResource(258).size(), DluToPixels(ok.x, ok.y, ok.w, ok.h).size());
}

TEST(Pictures, EveryFrameOfTheBannerDecodesAtTheSizeOfItsControl) {
  QFile file(QString::fromLocal8Bit(std::getenv("VANTRO_SOURCE_DIR")) + "/res/data1/banner.gif");
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
  CPictureEx banner;
  ASSERT_TRUE(banner.Load(data, size_t(bytes.size())));
  EXPECT_GE(banner.GetFrameCount(), 3);
  EXPECT_EQ(banner.GetFrameCount(), GifWalker(data, size_t(bytes.size())).CountFrames());
  EXPECT_EQ(banner.GetPictureSize(), DluToPixels(41, 58, 111, 51).size());
}
