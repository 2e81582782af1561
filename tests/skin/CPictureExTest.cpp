// The banner control: the animation frame by frame on the surface, timing, disposal, stopping and
// bad pictures.
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include <QApplication>
#include <QPalette>
#include <gtest/gtest.h>

#include "skin/CPictureEx.h"
#include "tests/skin/GifTestData.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/TempDir.h"

using namespace giftest;

namespace {

QColor Face() { return QApplication::palette().color(QPalette::Button); }

bool LoadBytes(CPictureEx& pic, const std::vector<uint8_t>& bytes) { return pic.Load(bytes.data(), bytes.size()); }

}  // namespace

TEST(CPictureEx, AnimatesFrameByFrameWithItsDisposalsAndWaits) {
  for (auto [delay, ms] : {std::pair{0u, 100u}, {4u, 100u}, {5u, 50u}, {0xFFFFFFFFu, 4294967286u}})
    EXPECT_EQ(CPictureEx::FrameWaitMs(delay), ms) << delay;

  // Frame 0 covers the left half; frame 1 (disposal 2) a square on the right; frame 2
  // (disposal 3) a square at the top left; frame 3 a square at the bottom right.
  CPictureEx pic;
  ASSERT_TRUE(LoadBytes(pic, MakeGif(20, 20,
                                     {{0, 0, 10, 20, Red, 5, 1},
                                      {12, 0, 6, 6, Green, 20, 2},
                                      {0, 0, 4, 4, Blue, 1, 3},
                                      {14, 14, 6, 6, White, 1, 0}})));
  EXPECT_TRUE(pic.IsAnimatedGif());
  EXPECT_EQ(pic.GetFrameCount(), 4);
  // The first five frames the worker draws, each let go on after 1 ms.
  std::mutex mutex;
  std::vector<std::pair<unsigned, uint32_t>> shown;
  std::vector<QImage> surfaces;
  pic.SetFrameHook([&](unsigned f, uint32_t ms, const QImage& s) -> uint32_t {
    std::lock_guard lock(mutex);
    if (shown.size() == 5) return 60000;
    shown.emplace_back(f, ms);
    surfaces.push_back(s);
    return 1;
  });
  EXPECT_FALSE(pic.Draw());  // an animation start reports no static render
  ASSERT_TRUE(ProcessEventsUntil(
      [&] {
        std::lock_guard lock(mutex);
        return shown.size() == 5;
      },
      20000));
  EXPECT_TRUE(pic.IsPlaying());
  pic.Stop();
  EXPECT_FALSE(pic.IsPlaying());
  EXPECT_EQ(shown, (std::vector<std::pair<unsigned, uint32_t>>{{0, 50}, {1, 200}, {2, 100}, {3, 100}, {0, 50}}));

  // Before anything: the surface is filled with the button face.
  EXPECT_EQ(surfaces[0].pixelColor(15, 15), Face());
  EXPECT_EQ(surfaces[0].pixelColor(5, 5), QColor(Qt::red));
  EXPECT_EQ(surfaces[1].pixelColor(15, 3), QColor(Qt::green));
  EXPECT_EQ(surfaces[1].pixelColor(5, 5), QColor(Qt::red));  // disposal 1 keeps frame 0
  // Frame 1's disposal 2 cleared its square before frame 2 was drawn.
  EXPECT_EQ(surfaces[2].pixelColor(15, 3), Face());
  EXPECT_EQ(surfaces[2].pixelColor(2, 2), QColor(Qt::blue));
  // Frame 2's disposal 3 put back what lay beneath it (frame 0's red).
  EXPECT_EQ(surfaces[3].pixelColor(2, 2), QColor(Qt::red));
  EXPECT_EQ(surfaces[3].pixelColor(16, 16), QColor(Qt::white));
  // After the last frame the whole surface is cleared before frame 0 comes again.
  EXPECT_EQ(surfaces[4].pixelColor(16, 16), Face());
  EXPECT_EQ(surfaces[4].pixelColor(5, 5), QColor(Qt::red));
}

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
