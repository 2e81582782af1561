// The GIF walk: block kinds and lengths, frame counting and splitting, and bad data.
#include <gtest/gtest.h>

#include "skin/GifWalker.h"
#include "tests/skin/GifTestData.h"

using namespace giftest;
using Block = GifWalker::Block;

namespace {

// Header 6 + screen 7 + global table of 8 entries (3 × 8 bytes).
constexpr size_t kHead = 13 + 24;

struct Walk {
  std::vector<uint8_t> bytes;
  GifWalker walker{nullptr, 0};
  explicit Walk(std::vector<uint8_t> b) : bytes(std::move(b)), walker(bytes.data(), bytes.size()) {}
};

}  // namespace

TEST(GifWalker, ClassifiesAndMeasuresEveryBlockKind) {
  GifEncoder gif;
  gif.Header(8, 8, kPalette);
  gif.Loop(0);                         // 14 + 4 + 1
  gif.Comment(std::string(300, 'c'));  // 2 + (1+255) + (1+45) + 1
  gif.GraphicControl(7, 2);            // 8
  gif.PlainText(0, 0, 8, 8, "hi");     // 15 + 3 + 1
  const size_t imageAt = gif.Bytes().size();
  gif.Image(1, 2, 3, 4, std::vector<uint8_t>(12, Red), {0x112233, 0x445566});  // local table 6
  const size_t imageEnd = gif.Bytes().size();
  gif.Trailer();
  Walk w(gif.Bytes());
  GifWalker& g = w.walker;

  EXPECT_EQ(g.GlobalColourTableSize(), 24u);
  EXPECT_EQ(g.ReadPosition(), kHead);
  const std::vector<std::pair<Block, long>> expected{{Block::Application, 19},
                                                     {Block::Comment, 305},
                                                     {Block::GraphicControl, 8},
                                                     {Block::PlainText, 19},
                                                     {Block::Image, long(imageEnd - imageAt)},
                                                     {Block::Trailer, 1}};
  for (const auto& [kind, length] : expected) {
    EXPECT_EQ(g.ClassifyBlock(), kind);
    EXPECT_EQ(g.BlockLength(), length);
    ASSERT_TRUE(g.SkipBlock());
  }
  EXPECT_EQ(g.ReadPosition(), w.bytes.size());  // the trailer ends exactly at the data size
  EXPECT_EQ(g.ClassifyBlock(), Block::Unrecognised);
  EXPECT_EQ(g.BlockLength(), -1);
  EXPECT_FALSE(g.SkipBlock());
}

TEST(GifWalker, UnknownLabelsAndTruncatedChainsStopTheWalk) {
  // An extension label the walk does not know is unrecognised.
  std::vector<uint8_t> bytes = MakeGif(4, 4, {});
  bytes.pop_back();
  bytes.insert(bytes.end(), {0x21, 0x02, 0x00, 0x3B});
  Walk unknown(bytes);
  EXPECT_EQ(unknown.walker.ClassifyBlock(), Block::Unrecognised);
  EXPECT_FALSE(unknown.walker.SkipBlock());

  // A comment whose chain runs past the end has length 0 and cannot be skipped.
  GifEncoder gif;
  gif.Header(4, 4, kPalette);
  gif.Comment("abcdef");
  std::vector<uint8_t> cut = gif.Bytes();
  cut.resize(cut.size() - 3);
  Walk truncated(cut);
  EXPECT_EQ(truncated.walker.ClassifyBlock(), Block::Comment);
  EXPECT_EQ(truncated.walker.BlockLength(), 0);
  EXPECT_FALSE(truncated.walker.SkipBlock());
  EXPECT_EQ(truncated.walker.ReadPosition(), kHead);

  // Data that ends inside the global colour table yields no frame.
  std::vector<uint8_t> shortTable = MakeGif(4, 4, {{0, 0, 4, 4, Red}});
  shortTable.resize(20);
  EXPECT_EQ(Walk(shortTable).walker.CountFrames(), 0);
}

TEST(GifWalker, CountsAndCutsFramesWithTheirTiming) {
  GifEncoder gif;
  gif.Header(10, 10, kPalette);
  gif.Loop(0);
  const size_t frame0 = gif.Bytes().size();
  gif.GraphicControl(0, 2);
  gif.Comment("between");  // a comment between control and image ...
  gif.Loop(3);             // ... and an application extension
  gif.Image(0, 0, 10, 10, std::vector<uint8_t>(100, Red));
  const size_t frame0End = gif.Bytes().size();
  gif.Image(2, 3, 4, 5, std::vector<uint8_t>(20, Green));  // no control extension
  gif.GraphicControl(20, 3);
  gif.GraphicControl(99, 1);  // a second one is skipped, not read
  gif.Image(1, 1, 2, 2, std::vector<uint8_t>(4, Blue));
  gif.Trailer();
  Walk w(gif.Bytes());

  EXPECT_EQ(w.walker.CountFrames(), 3);
  const std::vector<GifWalker::Frame> frames = w.walker.ExtractFrames();
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].delay, 0u);
  EXPECT_EQ(frames[0].disposal, 2u);
  EXPECT_EQ(frames[1].delay, GifWalker::kNoDelay);
  EXPECT_EQ(frames[1].disposal, 0u);
  EXPECT_EQ((std::vector<int>{frames[1].left, frames[1].top, frames[1].width, frames[1].height}),
            (std::vector<int>{2, 3, 4, 5}));
  EXPECT_EQ(frames[2].delay, 20u);
  EXPECT_EQ(frames[2].disposal, 3u);

  // Frame 0 stands alone: the original head, the span from its control extension to the end
  // of its image with the blocks between, then a trailer.
  std::vector<uint8_t> expected(w.bytes.begin(), w.bytes.begin() + long(kHead));
  expected.insert(expected.end(), w.bytes.begin() + long(frame0), w.bytes.begin() + long(frame0End));
  expected.push_back(0x3B);
  EXPECT_EQ(frames[0].gif, expected);
}

TEST(GifWalker, PlainTextFrameKeepsThePreviousGeometry) {
  GifEncoder gif;
  gif.Header(10, 10, kPalette);
  gif.GraphicControl(5, 0);
  gif.Image(1, 2, 3, 4, std::vector<uint8_t>(12, Red));
  gif.GraphicControl(6, 0);
  gif.PlainText(0, 0, 10, 10, "text");
  gif.Trailer();
  Walk w(gif.Bytes());
  const auto frames = w.walker.ExtractFrames();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[1].delay, 6u);
  EXPECT_EQ((std::vector<int>{frames[1].left, frames[1].top, frames[1].width, frames[1].height}),
            (std::vector<int>{1, 2, 3, 4}));
}

TEST(GifWalker, BadDataKeepsTheFramesBeforeIt) {
  // An unrecognised block after two frames: the walk stops there.
  std::vector<uint8_t> bytes = MakeGif(6, 6, {{0, 0, 6, 6, Red}, {0, 0, 6, 6, Green}});
  bytes.pop_back();
  bytes.insert(bytes.end(), {0x99});
  std::vector<uint8_t> more = MakeGif(6, 6, {{0, 0, 6, 6, Blue}});
  bytes.insert(bytes.end(), more.begin() + long(kHead), more.end());
  EXPECT_EQ(Walk(bytes).walker.CountFrames(), 2);
  EXPECT_EQ(Walk(bytes).walker.ExtractFrames().size(), 2u);

  // A file cut in the middle of its third image.
  std::vector<uint8_t> cut = MakeGif(6, 6, {{0, 0, 6, 6, Red}, {0, 0, 6, 6, Green}, {0, 0, 6, 6, Blue}});
  cut.resize(cut.size() - 6);
  EXPECT_EQ(Walk(cut).walker.CountFrames(), 2);

  // Control extension followed by the trailer: no frame.
  GifEncoder gif;
  gif.Header(6, 6, kPalette);
  gif.GraphicControl(1, 0);
  gif.Trailer();
  EXPECT_EQ(Walk(gif.Bytes()).walker.CountFrames(), 0);

  // Headers: only GIF87a and GIF89a are GIF data.
  const uint8_t g87[] = "GIF87a", g89[] = "GIF89a", g90[] = "GIF90a";
  EXPECT_TRUE(GifWalker::IsGifSignature(g87, 6));
  EXPECT_TRUE(GifWalker::IsGifSignature(g89, 6));
  EXPECT_FALSE(GifWalker::IsGifSignature(g90, 6));
  EXPECT_FALSE(GifWalker::IsGifSignature(g89, 5));
}
