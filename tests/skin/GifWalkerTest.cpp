// The GIF walk over bad data: the frames before it kept, cut out whole.
#include <gtest/gtest.h>

#include "skin/GifWalker.h"
#include "tests/skin/GifTestData.h"

using namespace giftest;

constexpr size_t kHead = 13 + 24;  // header 6, screen 7, global table of 8 entries

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
