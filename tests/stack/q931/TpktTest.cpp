#include "stack/q931/Tpkt.h"

#include <gtest/gtest.h>

namespace vantro::q931 {
namespace {

std::vector<std::uint8_t> Stream() {
  std::vector<std::uint8_t> s;
  for (std::vector<std::uint8_t> payload :
       {std::vector<std::uint8_t>{0x08, 0x02, 0x00, 0x01, 0x05}, std::vector<std::uint8_t>{},  // keep-alive
        std::vector<std::uint8_t>(300, 0xab)}) {
    std::vector<std::uint8_t> f = *TpktFrame(payload);
    s.insert(s.end(), f.begin(), f.end());
  }
  return s;
}

TEST(Tpkt, FramesAndReadsBackWhateverTheReadsLookLike) {
  EXPECT_EQ(*TpktFrame(std::vector<std::uint8_t>{0x08}), (std::vector<std::uint8_t>{3, 0, 0, 5, 0x08}));
  std::vector<std::uint8_t> s = Stream();
  for (std::size_t cut = 0; cut <= s.size(); ++cut) {
    SCOPED_TRACE(cut);
    TpktReader r;
    std::vector<std::vector<std::uint8_t>> got;
    std::vector<std::uint8_t> p;
    for (auto part : {std::span(s).first(cut), std::span(s).subspan(cut)}) {
      r.Feed(part);
      while (r.Next(p) == TpktReader::Status::Packet) got.push_back(p);
    }
    ASSERT_EQ(got.size(), 2u);  // the keep-alive is skipped
    EXPECT_EQ(got[0].size(), 5u);
    EXPECT_EQ(got[1], std::vector<std::uint8_t>(300, 0xab));
    EXPECT_EQ(r.Buffered(), 0u);
  }
}

TEST(Tpkt, AStreamThatIsNotTpktFailsForGood) {
  for (std::vector<std::uint8_t> bad : {std::vector<std::uint8_t>{2, 0, 0, 8, 1, 2, 3, 4},  // version 2
                                        std::vector<std::uint8_t>{3, 0, 0, 3}}) {           // length below header
    TpktReader r;
    std::vector<std::uint8_t> p;
    r.Feed(bad);
    EXPECT_EQ(r.Next(p), TpktReader::Status::Failed);
    r.Feed(Stream());
    EXPECT_EQ(r.Next(p), TpktReader::Status::Failed);
    EXPECT_EQ(r.Buffered(), 0u);
  }
  EXPECT_FALSE(TpktFrame(std::vector<std::uint8_t>(kTpktMaxPayload + 1)));
  EXPECT_TRUE(TpktFrame(std::vector<std::uint8_t>(kTpktMaxPayload)));
}

TEST(Tpkt, APartialPacketWaitsForTheRest) {
  TpktReader r;
  std::vector<std::uint8_t> p;
  r.Feed(std::vector<std::uint8_t>{3, 0, 0xff, 0xff, 1});
  EXPECT_EQ(r.Next(p), TpktReader::Status::NeedMore);
  EXPECT_EQ(r.Buffered(), 5u);
  r.Feed(std::vector<std::uint8_t>(0xffff - 5, 7));
  EXPECT_EQ(r.Next(p), TpktReader::Status::Packet);
  EXPECT_EQ(p.size(), kTpktMaxPayload);
}

}  // namespace
}  // namespace vantro::q931
