// The GIF walk: frames with their timing, cut out whole, and bad data.
#include <gtest/gtest.h>

#include "skin/GifWalker.h"
#include "tests/skin/GifTestData.h"

using namespace giftest;

constexpr size_t kHead = 13 + 24;  // header 6, screen 7, global table of 8 entries

TEST(GifWalker, CutsFramesWithTheirTiming) {
  GifEncoder gif;
  gif.Header(10, 10, kPalette);
  gif.Loop(0);
  const size_t frame0 = gif.Bytes().size();
  gif.GraphicControl(0, 2);
  gif.Comment(std::string(300, 'c'));  // a comment of two sub-blocks between control and image ...
  gif.Loop(3);                         // ... and an application extension
  gif.Image(0, 0, 10, 10, std::vector<uint8_t>(100, Red), {0x112233, 0x445566});  // with a local table
  const size_t frame0End = gif.Bytes().size();
  gif.Image(2, 3, 4, 5, std::vector<uint8_t>(20, Green));  // no control extension
  gif.GraphicControl(20, 3);
  gif.GraphicControl(99, 1);  // a second one is skipped, not read
  gif.Image(1, 1, 2, 2, std::vector<uint8_t>(4, Blue));
  gif.GraphicControl(6, 0);
  gif.PlainText(0, 0, 10, 10, "text");  // keeps the previous frame's place
  gif.Trailer();
  const std::vector<uint8_t> bytes = gif.Bytes();
  GifWalker walker(bytes.data(), bytes.size());
  EXPECT_EQ(walker.CountFrames(), 4);
  const std::vector<GifWalker::Frame> frames = walker.ExtractFrames();
  ASSERT_EQ(frames.size(), 4u);
  const std::vector<std::vector<int>> expected{
      {0, 2, 0, 0, 10, 10}, {int(GifWalker::kNoDelay), 0, 2, 3, 4, 5}, {20, 3, 1, 1, 2, 2}, {6, 0, 1, 1, 2, 2}};
  for (size_t i = 0; i < 4; ++i) {
    const GifWalker::Frame& f = frames[i];
    EXPECT_EQ((std::vector<int>{int(f.delay), int(f.disposal), f.left, f.top, f.width, f.height}), expected[i]) << i;
  }
  // Frame 0 stands alone: the original head, the span from its control extension to the end of
  // its image with the blocks between, then a trailer (so every block's length was right).
  std::vector<uint8_t> alone(bytes.begin(), bytes.begin() + long(kHead));
  alone.insert(alone.end(), bytes.begin() + long(frame0), bytes.begin() + long(frame0End));
  alone.push_back(0x3B);
  EXPECT_EQ(frames[0].gif, alone);
}

TEST(GifWalker, BadDataKeepsTheFramesBeforeIt) {
  const auto two = MakeGif(6, 6, {{0, 0, 6, 6, Red}, {0, 0, 6, 6, Green}});
  const auto three = MakeGif(6, 6, {{0, 0, 6, 6, Red}, {0, 0, 6, 6, Green}, {0, 0, 6, 6, Blue}});
  std::vector<uint8_t> unknownBlock(two.begin(), two.end() - 1), unknownLabel(kHead), cutComment, controlOnly;
  unknownBlock.push_back(0x99);
  unknownBlock.insert(unknownBlock.end(), three.begin() + long(kHead), three.end());
  std::copy_n(two.begin(), kHead, unknownLabel.begin());
  unknownLabel.insert(unknownLabel.end(), {0x21, 0x02, 0x00, 0x3B});
  GifEncoder gif;
  gif.Header(6, 6, kPalette);
  gif.Comment("abcdef");
  cutComment = gif.Bytes();
  cutComment.resize(cutComment.size() - 3);  // the chain runs past the end
  gif.GraphicControl(1, 0);
  gif.Trailer();
  controlOnly = gif.Bytes();
  const std::pair<std::vector<uint8_t>, int> rows[] = {
      {unknownBlock, 2},
      {{three.begin(), three.end() - 6}, 2},  // cut in the third image
      {{two.begin(), two.begin() + 20}, 0},   // cut in the global colour table
      {unknownLabel, 0},
      {cutComment, 0},
      {controlOnly, 0},  // a control extension and the trailer
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const std::vector<uint8_t>& bytes = rows[i].first;
    EXPECT_EQ(GifWalker(bytes.data(), bytes.size()).CountFrames(), rows[i].second) << i;
    EXPECT_EQ(int(GifWalker(bytes.data(), bytes.size()).ExtractFrames().size()), rows[i].second) << i;
  }
}
