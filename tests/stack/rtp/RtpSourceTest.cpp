// The receiver's view of a source: sequence numbers with wrap-around and jumps, the loss and
// jitter figures of its report block (probation is RtpSessionTest's new SSRC).
#include "stack/rtp/RtpSource.h"

#include <gtest/gtest.h>

namespace vantro::rtp {
namespace {

TEST(RtpSource, CountsAcrossTheSequenceWrapAndReportsLossOfEachInterval) {
  RtpSource s(7, 65530, 1);
  for (std::uint16_t seq = 65530; seq != 10; ++seq) {
    if (seq == 65535 || seq == 3) continue;
    EXPECT_TRUE(s.UpdateSequence(seq)) << seq;
  }
  EXPECT_EQ(s.GetExtendedHighestSequence(), 65536u + 9);
  EXPECT_EQ(s.GetExpected(), 16);
  EXPECT_EQ(s.GetCumulativeLost(), 2);
  RtcpReportBlock first = s.MakeReportBlock();
  EXPECT_EQ(first.ssrc, 7u);
  EXPECT_EQ(first.cumulativeLost, 2);
  EXPECT_EQ(first.fractionLost, 2 * 256 / 16);
  EXPECT_EQ(first.highestSequence, 65536u + 9);
  // A late packet of the first interval and a full second interval: nothing lost since.
  EXPECT_TRUE(s.UpdateSequence(3));
  for (std::uint16_t seq = 10; seq < 20; ++seq) s.UpdateSequence(seq);
  RtcpReportBlock second = s.MakeReportBlock();
  EXPECT_EQ(second.cumulativeLost, 1);
  EXPECT_EQ(second.fractionLost, 0);
  // Duplicates make the cumulative count negative, as RFC 3550 counts it.
  for (int i = 0; i < 3; ++i) s.UpdateSequence(19);
  EXPECT_EQ(s.GetCumulativeLost(), -2);
  EXPECT_EQ(s.MakeReportBlock().fractionLost, 0);
}

TEST(RtpSource, TakesABigJumpOnlyWhenTheNextPacketFollowsIt) {
  RtpSource s(1, 100, 1);
  for (std::uint16_t seq = 100; seq < 110; ++seq) s.UpdateSequence(seq);
  EXPECT_FALSE(s.UpdateSequence(20000));  // alone: a stray packet
  EXPECT_TRUE(s.UpdateSequence(110));
  EXPECT_FALSE(s.UpdateSequence(30000));
  EXPECT_TRUE(s.UpdateSequence(30001));  // the sender restarted
  EXPECT_EQ(s.GetExtendedHighestSequence(), 30001u);
  EXPECT_EQ(s.GetReceived(), 1u);
  EXPECT_EQ(s.GetCumulativeLost(), 0);
}

}  // namespace
}  // namespace vantro::rtp
