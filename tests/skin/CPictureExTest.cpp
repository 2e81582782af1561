// The banner control: bad pictures, and a stop that outlives its worker.
#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "skin/CPictureEx.h"
#include "tests/skin/GifTestData.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/TempDir.h"

using namespace giftest;

namespace {

bool LoadBytes(CPictureEx& pic, const std::vector<uint8_t>& bytes) { return pic.Load(bytes.data(), bytes.size()); }

}  // namespace

TEST(CPictureEx, BadPicturesLeaveNothingBehind) {
  const auto two = MakeGif(12, 7, {{0, 0, 12, 7, Red}, {0, 0, 12, 7, Blue}});
  std::vector<uint8_t> cut = two, odd = two;
  cut.resize(cut.size() - 5);  // inside the second frame
  odd[4] = '0';                // "GIF80a" is not walked: the decoder refuses it whole
  const auto huge = MakeGif(30000, 30000, {{0, 0, 1, 1, Red}, {0, 0, 1, 1, Blue}});
  GifEncoder broken;  // the second image has an impossible LZW code size
  broken.Header(6, 6, kPalette);
  broken.GraphicControl(10, 0);
  broken.Image(0, 0, 6, 6, std::vector<uint8_t>(36, Red));
  broken.GraphicControl(10, 0);
  broken.Raw({0x2C, 0, 0, 0, 0, 6, 0, 6, 0, 0, 0x0F, 2, 0xFF, 0xFF, 0});
  broken.Trailer();
  const std::vector<std::vector<uint8_t>> bad{{},   {1, 2, 3, 4, 5}, {'G', 'I', 'F', '8', '9', 'a'}, odd, cut,
                                              huge, broken.Bytes()};
  for (size_t i = 0; i < bad.size(); ++i) {
    CPictureEx pic;
    ASSERT_TRUE(LoadBytes(pic, two));
    // An animation with one frame that decodes shows that frame, as a still picture.
    if (LoadBytes(pic, bad[i])) {
      EXPECT_TRUE(i == 4 || i == 6) << i;
      EXPECT_EQ(pic.GetFrameCount(), 0);
      EXPECT_FALSE(pic.IsAnimatedGif());
      EXPECT_TRUE(pic.Draw());
      EXPECT_EQ(pic.Surface().pixelColor(3, 3), QColor(Qt::red));
    } else {
      EXPECT_TRUE(pic.Surface().isNull()) << i;       // a failed load unloads what was shown
      EXPECT_EQ(pic.IsGif(), i == 2 || i == 5) << i;  // walked only with a GIF87a/89a header
    }
  }
  TempDir dir;
  EXPECT_FALSE(CPictureEx().Load(QString::fromStdString((dir / "missing.gif").string())));
}

TEST(CPictureEx, AWorkerThatOutlivesStopNeverTouchesFreedState) {
  std::atomic<bool> release{false}, returned{false};
  {
    CPictureEx pic;
    pic.SetStopTimeoutMs(20);
    ASSERT_TRUE(LoadBytes(pic, MakeGif(8, 8, {{0, 0, 8, 8, Red}, {0, 0, 8, 8, Green}})));
    pic.SetFrameHook([&](unsigned, uint32_t, const QImage&) -> uint32_t {
      while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      returned = true;
      return 1;
    });
    pic.Draw();
    ASSERT_TRUE(ProcessEventsUntil([&] { return pic.IsPlaying(); }));
    pic.Stop();  // gives up waiting after 20 ms
    EXPECT_FALSE(pic.IsPlaying());
    EXPECT_EQ(pic.Surface().pixelColor(1, 1), QColor(Qt::red));  // the control kept its picture
    pic.Unload();
  }  // and is gone
  release = true;
  ASSERT_TRUE(ProcessEventsUntil([&] { return returned.load(); }));
  ProcessEventsFor(100);  // the worker ends on its own state; ASan would see any stray write
}
