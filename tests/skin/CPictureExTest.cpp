// The banner control: loading, the animation frame by frame on the surface, timing, disposal,
// stopping, and pictures that are not animated GIFs.
#include <atomic>
#include <chrono>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>

#include <QApplication>
#include <QBuffer>
#include <QImageWriter>
#include <QPalette>
#include <gtest/gtest.h>

#include "skin/CPictureEx.h"
#include "tests/skin/GifTestData.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/TempDir.h"

using namespace giftest;

namespace {

QColor Face() { return QApplication::palette().color(QPalette::Button); }

QColor At(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

struct Shot {
  unsigned frame;
  uint32_t waitMs;
  QImage surface;
  std::chrono::steady_clock::time_point at;
};

// Records each frame the worker draws until `count` are seen, and lets it go on after 1 ms (or,
// with realWaits, after the wait the control asked for).
class Recorder {
 public:
  explicit Recorder(CPictureEx& pic, size_t count, bool realWaits = false) : m_count(count) {
    pic.SetFrameHook([this, realWaits](unsigned f, uint32_t ms, const QImage& s) -> uint32_t {
      std::lock_guard lock(m_mutex);
      if (m_shots.size() < m_count) m_shots.push_back({f, ms, s, std::chrono::steady_clock::now()});
      return realWaits ? ms : m_shots.size() < m_count ? 1 : 60000;
    });
  }
  bool Wait() {
    return ProcessEventsUntil([this] { return Size() >= m_count; }, 20000);
  }
  size_t Size() {
    std::lock_guard lock(m_mutex);
    return m_shots.size();
  }
  Shot operator[](size_t i) {
    std::lock_guard lock(m_mutex);
    return m_shots.at(i);
  }

 private:
  std::mutex m_mutex;
  std::vector<Shot> m_shots;
  size_t m_count;
};

bool LoadBytes(CPictureEx& pic, const std::vector<uint8_t>& bytes) { return pic.Load(bytes.data(), bytes.size()); }

}  // namespace

TEST(CPictureEx, WaitsFollowTheDelaysWithAFloorOf100ms) {
  EXPECT_EQ(CPictureEx::FrameWaitMs(0), 100u);
  EXPECT_EQ(CPictureEx::FrameWaitMs(3), 100u);
  EXPECT_EQ(CPictureEx::FrameWaitMs(4), 100u);
  EXPECT_EQ(CPictureEx::FrameWaitMs(5), 50u);
  EXPECT_EQ(CPictureEx::FrameWaitMs(20), 200u);
  EXPECT_EQ(CPictureEx::FrameWaitMs(0xFFFFFFFFu), 4294967286u);

  for (auto [d0, d1, w0, w1] : {std::tuple{0, 3, 100u, 100u}, std::tuple{5, 20, 50u, 200u}}) {
    CPictureEx pic;
    ASSERT_TRUE(LoadBytes(pic, MakeGif(8, 8, {{0, 0, 8, 8, Red, d0}, {0, 0, 8, 8, Green, d1}})));
    EXPECT_TRUE(pic.IsAnimatedGif());
    EXPECT_EQ(pic.GetFrameCount(), 2);
    Recorder rec(pic, 3);
    EXPECT_FALSE(pic.Draw());  // an animation start reports no static render
    ASSERT_TRUE(rec.Wait());
    EXPECT_TRUE(pic.IsPlaying());
    EXPECT_EQ(rec[0].frame, 0u);
    EXPECT_EQ(rec[0].waitMs, w0);
    EXPECT_EQ(At(rec[0].surface, 4, 4), QColor(Qt::red));
    EXPECT_EQ(rec[1].frame, 1u);
    EXPECT_EQ(rec[1].waitMs, w1);
    EXPECT_EQ(At(rec[1].surface, 4, 4), QColor(Qt::green));
    EXPECT_EQ(rec[2].frame, 0u);
    pic.Stop();
    EXPECT_FALSE(pic.IsPlaying());
  }
}

TEST(CPictureEx, ReallyWaitsTheFrameDelay) {
  // Order and a generous lower bound only: the machine may be busy.
  CPictureEx pic;
  ASSERT_TRUE(LoadBytes(pic, MakeGif(4, 4, {{0, 0, 4, 4, Red, 20}, {0, 0, 4, 4, Green, 20}})));
  Recorder rec(pic, 3, true);
  pic.Draw();
  ASSERT_TRUE(rec.Wait());
  pic.Stop();
  EXPECT_GE(rec[1].at - rec[0].at, std::chrono::milliseconds(190));
  EXPECT_GE(rec[2].at - rec[1].at, std::chrono::milliseconds(190));
}

TEST(CPictureEx, DisposalsAndTheClearAfterTheLastFrame) {
  // Frame 0 covers the left half; frame 1 (disposal 2) a square on the right; frame 2
  // (disposal 3) a square at the top left; frame 3 a square at the bottom right.
  CPictureEx pic;
  ASSERT_TRUE(LoadBytes(pic, MakeGif(20, 20,
                                     {{0, 0, 10, 20, Red, 1, 1},
                                      {12, 0, 6, 6, Green, 1, 2},
                                      {0, 0, 4, 4, Blue, 1, 3},
                                      {14, 14, 6, 6, White, 1, 0}})));
  Recorder rec(pic, 5);
  pic.Draw();
  ASSERT_TRUE(rec.Wait());
  pic.Stop();

  // Before anything: the surface is filled with the button face.
  EXPECT_EQ(At(rec[0].surface, 15, 15), Face());
  EXPECT_EQ(At(rec[0].surface, 5, 5), QColor(Qt::red));
  EXPECT_EQ(At(rec[1].surface, 15, 3), QColor(Qt::green));
  EXPECT_EQ(At(rec[1].surface, 5, 5), QColor(Qt::red));  // disposal 1 keeps frame 0
  // Frame 1's disposal 2 cleared its square before frame 2 was drawn.
  EXPECT_EQ(At(rec[2].surface, 15, 3), Face());
  EXPECT_EQ(At(rec[2].surface, 2, 2), QColor(Qt::blue));
  // Frame 2's disposal 3 put back what lay beneath it (frame 0's red).
  EXPECT_EQ(At(rec[3].surface, 2, 2), QColor(Qt::red));
  EXPECT_EQ(At(rec[3].surface, 16, 16), QColor(Qt::white));
  // After the last frame the whole surface is cleared before frame 0 comes again.
  EXPECT_EQ(rec[4].frame, 0u);
  EXPECT_EQ(At(rec[4].surface, 16, 16), Face());
  EXPECT_EQ(At(rec[4].surface, 5, 5), QColor(Qt::red));
}

TEST(CPictureEx, FrameWithoutControlExtensionRestsUntilStop) {
  CPictureEx pic;
  pic.SetStopTimeoutMs(60000);
  ASSERT_TRUE(LoadBytes(pic, MakeGif(6, 6, {{0, 0, 6, 6, Red, 1}, {0, 0, 6, 6, Green, -1}})));
  std::atomic<int> drawn{0};
  std::atomic<uint32_t> lastWait{0};
  pic.SetFrameHook([&](unsigned, uint32_t ms, const QImage&) {
    lastWait = ms;
    ++drawn;
    return ms == 10u ? 1u : ms;  // frame 0 quickly, then the real rest
  });
  pic.Draw();
  ASSERT_TRUE(ProcessEventsUntil([&] { return drawn >= 2; }));
  EXPECT_EQ(lastWait.load(), 4294967286u);
  ProcessEventsFor(50);
  EXPECT_EQ(drawn.load(), 2);
  const auto start = std::chrono::steady_clock::now();
  pic.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_FALSE(pic.IsPlaying());
  EXPECT_EQ(At(pic.Surface(), 3, 3), QColor(Qt::green));  // the frame is kept

  // The next Draw goes on from the frame that was showing.
  Recorder rec(pic, 1);
  pic.Draw();
  ASSERT_TRUE(rec.Wait());
  EXPECT_EQ(rec[0].frame, 1u);
  pic.Stop();
}

TEST(CPictureEx, LoadsFromFileAndCopesWithBadFiles) {
  TempDir dir;
  const std::string path = (dir / "b.gif").string();
  const auto bytes = MakeGif(12, 7, {{0, 0, 12, 7, Red}, {0, 0, 12, 7, Blue}});
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  CPictureEx pic;
  EXPECT_FALSE(pic.Draw());             // nothing loaded
  pic.SetBackgroundColor(Qt::magenta);  // before a load: nothing happens
  EXPECT_EQ(pic.GetBackgroundColor(), QColor(Qt::white));
  ASSERT_TRUE(pic.Load(QString::fromStdString(path)));
  EXPECT_TRUE(pic.IsGif());
  EXPECT_EQ(pic.GetPictureSize(), QSize(12, 7));
  EXPECT_EQ(pic.size(), QSize(12, 7));
  EXPECT_EQ(pic.GetBackgroundColor(), Face());
  pic.SetBackgroundColor(Qt::magenta);
  EXPECT_EQ(At(pic.Surface(), 0, 0), QColor(Qt::magenta));

  const std::string empty = (dir / "empty.gif").string();
  std::ofstream(empty).close();
  EXPECT_FALSE(pic.Load(QString::fromStdString(empty)));
  EXPECT_FALSE(pic.IsGif());
  EXPECT_TRUE(pic.Surface().isNull());  // a failed load leaves nothing behind
  EXPECT_FALSE(pic.Load(QString::fromStdString((dir / "missing.gif").string())));

  // Truncated inside the second frame: one frame is left, shown as a still picture.
  std::vector<uint8_t> cut = bytes;
  cut.resize(cut.size() - 5);
  if (LoadBytes(pic, cut)) {
    EXPECT_EQ(pic.GetFrameCount(), 0);
    EXPECT_FALSE(pic.IsAnimatedGif());
  }
  // Garbage, and a GIF header with nothing after it.
  const std::vector<uint8_t> junk{1, 2, 3, 4, 5};
  EXPECT_FALSE(LoadBytes(pic, junk));
  const std::vector<uint8_t> bare{'G', 'I', 'F', '8', '9', 'a'};
  EXPECT_FALSE(LoadBytes(pic, bare));
}

TEST(CPictureEx, APictureDecodedOnAWorkerIsLoadedWhole) {
  // The decoding needs no control: a worker decodes, the user-interface thread loads the result.
  const auto bytes = MakeGif(12, 7, {{0, 0, 12, 7, Red}, {2, 1, 3, 3, Blue}});
  CPictureEx::Picture decoded, junk;
  std::thread([&] {
    decoded = CPictureEx::Decode(bytes.data(), bytes.size());
    const uint8_t noise[] = {1, 2, 3};
    junk = CPictureEx::Decode(noise, sizeof noise);
  }).join();
  ASSERT_TRUE(decoded.valid);
  EXPECT_EQ(decoded.frames.size(), 2u);
  EXPECT_FALSE(junk.valid);

  CPictureEx pic;
  ASSERT_TRUE(pic.Load(decoded));
  EXPECT_TRUE(pic.IsAnimatedGif());
  EXPECT_EQ(pic.GetFrameCount(), 2);
  EXPECT_EQ(pic.size(), QSize(12, 7));
  EXPECT_EQ(pic.GetBackgroundColor(), Face());
  // A picture that did not decode unloads what was shown.
  EXPECT_FALSE(pic.Load(junk));
  EXPECT_TRUE(pic.Surface().isNull());

  // Too large a logical screen is refused when decoded, not only when shown.
  const auto huge = MakeGif(30000, 30000, {{0, 0, 1, 1, Red}, {0, 0, 1, 1, Blue}});
  EXPECT_FALSE(CPictureEx::Decode(huge.data(), huge.size()).valid);
}

TEST(CPictureEx, StillPicturesAreDecodedWhole) {
  // A one-frame GIF: shown at its logical screen size, no frames counted.
  CPictureEx pic;
  ASSERT_TRUE(LoadBytes(pic, MakeGif(9, 5, {{0, 0, 9, 5, Blue}})));
  EXPECT_TRUE(pic.IsGif());
  EXPECT_EQ(pic.GetFrameCount(), 0);
  EXPECT_TRUE(pic.Draw());
  EXPECT_EQ(At(pic.Surface(), 4, 2), QColor(Qt::blue));

  QImage png(7, 3, QImage::Format_RGB32);
  png.fill(Qt::green);
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(png.save(&buffer, "PNG"));
  ASSERT_TRUE(pic.Load(reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size())));
  EXPECT_FALSE(pic.IsGif());
  EXPECT_EQ(pic.GetPictureSize(), QSize(7, 3));
  EXPECT_EQ(pic.GetFrameCount(), 0);
  EXPECT_TRUE(pic.Draw());
  EXPECT_EQ(At(pic.Surface(), 6, 2), QColor(Qt::green));

  // "GIF" with another version is not walked: it goes whole to the decoder, which refuses it.
  std::vector<uint8_t> odd = MakeGif(4, 4, {{0, 0, 4, 4, Red}, {0, 0, 4, 4, Green}});
  odd[3] = '9';
  odd[4] = '0';
  EXPECT_FALSE(LoadBytes(pic, odd));
  EXPECT_FALSE(pic.IsGif());
}

TEST(CPictureEx, AnAnimationWithOneDecodableFrameShowsThatFrame) {
  // Frame 2's image data is broken (an impossible LZW code size): only frame 1 decodes.
  GifEncoder gif;
  gif.Header(6, 6, kPalette);
  gif.GraphicControl(10, 0);
  gif.Image(0, 0, 6, 6, std::vector<uint8_t>(36, Green));
  gif.GraphicControl(10, 0);
  gif.Raw({0x2C, 0, 0, 0, 0, 6, 0, 6, 0, 0, 0x0F, 2, 0xFF, 0xFF, 0});
  gif.Trailer();
  CPictureEx pic;
  ASSERT_TRUE(LoadBytes(pic, gif.Bytes()));
  EXPECT_FALSE(pic.IsAnimatedGif());
  EXPECT_TRUE(pic.Draw());
  EXPECT_EQ(At(pic.Surface(), 3, 3), QColor(Qt::green));
}

TEST(CPictureEx, PaintCopiesThePaintRectOrTheWholePicture) {
  CPictureEx pic;
  ASSERT_TRUE(LoadBytes(pic, MakeGif(10, 10, {{0, 0, 10, 10, Red}, {5, 5, 5, 5, Blue}})));
  pic.SetPaintRect(QRect(5, 5, 0, 4));  // zero width: the whole picture
  pic.SetBackgroundColor(Qt::black);
  QImage full = pic.grab().toImage();
  EXPECT_EQ(full.size(), QSize(10, 10));
  EXPECT_EQ(At(full, 9, 9), QColor(Qt::black));

  Recorder rec(pic, 2);
  pic.Draw();
  ASSERT_TRUE(rec.Wait());
  pic.Stop();
  pic.SetPaintRect(QRect(5, 5, 5, 5));
  QImage part = pic.grab().toImage();
  int clicks = 0;
  QObject::connect(&pic, &CPictureEx::clicked, [&] { ++clicks; });
  for (QPoint release : {QPoint(3, 3), QPoint(30, 3)}) {
    SendMouse(&pic, QEvent::MouseButtonPress, {3, 3}, Qt::LeftButton);
    SendMouse(&pic, QEvent::MouseButtonRelease, release, Qt::NoButton);
  }
  EXPECT_EQ(clicks, 1);                         // released off the picture: no click
  EXPECT_EQ(At(part, 0, 0), QColor(Qt::blue));  // the rect's corner lands at (0, 0)
  EXPECT_EQ(At(full, 0, 0), QColor(Qt::black));
}

TEST(CPictureEx, StopsItsWorkerOnReloadUnloadAndDestruction) {
  const auto anim = MakeGif(8, 8, {{0, 0, 8, 8, Red, 0}, {0, 0, 8, 8, Green, 0}});
  auto pic = std::make_unique<CPictureEx>();
  ASSERT_TRUE(LoadBytes(*pic, anim));
  pic->Draw();
  ASSERT_TRUE(ProcessEventsUntil([&] { return pic->IsPlaying(); }));
  ASSERT_TRUE(LoadBytes(*pic, anim));  // reload stops the first animation
  EXPECT_FALSE(pic->IsPlaying());
  pic->Draw();
  ASSERT_TRUE(ProcessEventsUntil([&] { return pic->IsPlaying(); }));
  pic->Unload();
  EXPECT_FALSE(pic->IsPlaying());
  EXPECT_TRUE(pic->Surface().isNull());
  ASSERT_TRUE(LoadBytes(*pic, anim));
  pic->Draw();
  ProcessEventsFor(150);
  pic.reset();  // destroyed while playing
  ProcessEventsFor(50);
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
    EXPECT_EQ(At(pic.Surface(), 1, 1), QColor(Qt::red));  // the control kept its picture
    pic.Unload();
  }  // and is gone
  release = true;
  ASSERT_TRUE(ProcessEventsUntil([&] { return returned.load(); }));
  ProcessEventsFor(100);  // the worker ends on its own state; ASan would see any stray write
}
