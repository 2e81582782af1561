// A source's sequence numbers that jump (the wrap and probation are RtpSessionTest's).
#include "stack/rtp/RtpSource.h"

#include <gtest/gtest.h>

namespace vantro::rtp {
namespace {

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
