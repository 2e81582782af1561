// RTP data packets and compound RTCP packets: what we write, what we read of peers' packets, and
// what we refuse.
#include "stack/rtp/RtcpCompound.h"
#include "stack/rtp/RtpPacket.h"

#include <gtest/gtest.h>

namespace vantro::rtp {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(RtpPacket, WritesTheFixedHeaderAndReadsItBack) {
  const Bytes payload{1, 2, 3};
  RtpPacket p;
  p.marker = true;
  p.payloadType = 18;
  p.sequence = 0x1234;
  p.timestamp = 0x01020304;
  p.ssrc = 0xdeadbeef;
  p.payload = payload;
  Bytes out;
  p.Serialize(out);
  EXPECT_EQ(out, (Bytes{0x80, 0x92, 0x12, 0x34, 1, 2, 3, 4, 0xde, 0xad, 0xbe, 0xef, 1, 2, 3}));
  auto back = RtpPacket::Parse(out);
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->marker);
  EXPECT_EQ(back->payloadType, 18);
  EXPECT_EQ(back->sequence, 0x1234);
  EXPECT_EQ(back->timestamp, 0x01020304u);
  EXPECT_EQ(back->ssrc, 0xdeadbeefu);
  EXPECT_EQ(Bytes(back->payload.begin(), back->payload.end()), payload);
}

// Contributing sources, a header extension and padding are taken off the payload.
TEST(RtpPacket, PayloadExcludesContributingSourcesExtensionAndPadding) {
  Bytes d{0xb2, 0x00, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3,  // V=2, P, X, CC=2
          0, 0, 0, 10, 0, 0, 0, 11,                  // two CSRCs
          0xbe, 0xde, 0, 1, 9, 9, 9, 9,              // extension of one word
          0xaa, 0xbb, 0, 0, 3};                      // payload, three octets of padding
  auto p = RtpPacket::Parse(d);
  ASSERT_TRUE(p);
  EXPECT_EQ(Bytes(p->payload.begin(), p->payload.end()), (Bytes{0xaa, 0xbb}));
  EXPECT_EQ(p->payloadType, 0);
  EXPECT_FALSE(p->marker);
}

TEST(RtpPacket, RefusesWhatIsNotAWholeVersion2Packet) {
  RtpPacket::Error error = RtpPacket::Error::None;
  const Bytes header{0x80, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3};
  EXPECT_FALSE(RtpPacket::Parse(Bytes(header.begin(), header.end() - 1), &error));
  EXPECT_EQ(error, RtpPacket::Error::TooShort);
  for (std::uint8_t first : {0x00, 0x40, 0xc0}) {
    Bytes d = header;
    d[0] = first;
    EXPECT_FALSE(RtpPacket::Parse(d, &error));
    EXPECT_EQ(error, RtpPacket::Error::NotVersion2);
  }
  struct Case {
    const char* what;
    Bytes bytes;
  };
  const Case truncated[] = {
      {"CSRCs past the end", {0x83, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 1}},
      {"extension header past the end", {0x90, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0xbe, 0xde}},
      {"extension words past the end", {0x90, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0xbe, 0xde, 0, 2, 1, 2, 3, 4}},
      {"padding longer than the payload", {0xa0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 7, 3}},
      {"padding of no octet", {0xa0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 7, 0}},
  };
  for (const Case& c : truncated) {
    EXPECT_FALSE(RtpPacket::Parse(c.bytes, &error)) << c.what;
    EXPECT_EQ(error, RtpPacket::Error::Truncated) << c.what;
  }
  // Padding that eats the whole payload leaves an empty one, which is still a packet.
  auto empty = RtpPacket::Parse(Bytes{0xa0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 2});
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->payload.empty());
}

TEST(RtcpCompound, SenderReportWithBlockSourceDescriptionAndByeRoundTrips) {
  RtcpCompound c;
  c.ssrc = 0x11223344;
  c.sender = RtcpSenderInfo{0xe1234567'89abcdefull, 1000, 50, 1000};
  RtcpReportBlock b;
  b.ssrc = 0x55667788;
  b.fractionLost = 25;
  b.cumulativeLost = -3;  // duplicates make it negative
  b.highestSequence = 0x0001ffff;
  b.jitter = 42;
  b.lastSenderReport = 0x45678901;
  b.delaySinceLastSenderReport = 65536;
  c.reports = {b};
  c.cname = "abc@vantro";
  c.bye = true;
  c.byeReason = "hung up";
  Bytes out;
  c.Serialize(out);
  ASSERT_EQ(out.size() % 4, 0u);
  EXPECT_EQ(out[0], 0x81);  // one report block
  EXPECT_EQ(out[1], kRtcpSenderReport);
  EXPECT_EQ(out[3], 12);  // 7 words of SR, 6 of the block, minus one
  auto back = RtcpCompound::Parse(out);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->ssrc, c.ssrc);
  EXPECT_EQ(back->sender, c.sender);
  ASSERT_EQ(back->reports.size(), 1u);
  EXPECT_EQ(back->reports[0], b);
  EXPECT_EQ(back->cname, "abc@vantro");
  EXPECT_TRUE(back->bye);
  EXPECT_EQ(back->byeSources, std::vector<std::uint32_t>{c.ssrc});
  EXPECT_EQ(back->byeReason, "hung up");

  RtcpCompound receiver;
  receiver.ssrc = 7;
  receiver.cname = "abcd";  // four octets: the item still ends with a zero octet
  receiver.Serialize(out);
  auto rr = RtcpCompound::Parse(out);
  ASSERT_TRUE(rr);
  EXPECT_FALSE(rr->sender);
  EXPECT_TRUE(rr->reports.empty());
  EXPECT_EQ(rr->cname, "abcd");
  EXPECT_FALSE(rr->bye);
}

// What peers add is passed over: other items and chunks in the description, APP packets.
TEST(RtcpCompound, ReadsTheSendersCnameAmongOtherPartsOfAPeersPacket) {
  const Bytes peer{
      0x80, 201, 0, 1, 0, 0, 0, 9,                               // RR of source 9, no blocks
      0x82, 202, 0, 7,                                           // SDES, two chunks
      0, 0, 0, 8, 1, 3, 'x', 'y', 'z', 0, 0, 0,                  // chunk of 8: CNAME xyz
      0, 0, 0, 9, 2, 1, 'n', 1, 4, 'p', 'e', 'e', 'r', 0, 0, 0,  // chunk of 9: NAME n, CNAME peer
      0x80, 204, 0, 2, 0, 0, 0, 9, 't', 'e', 's', 't',           // APP
  };
  auto c = RtcpCompound::Parse(peer);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->ssrc, 9u);
  EXPECT_EQ(c->cname, "peer");
}

TEST(RtcpCompound, RefusesPacketsThatBreakTheCompoundRules) {
  RtcpCompound c;
  c.ssrc = 1;
  c.cname = "a";
  Bytes good;
  c.Serialize(good);
  ASSERT_TRUE(RtcpCompound::Parse(good));
  struct Case {
    const char* what;
    Bytes bytes;
    RtcpCompound::Error error;
  };
  Bytes notFirst = good;
  notFirst[1] = kRtcpSourceDescription;
  Bytes version = good;
  version[0] = 0x41;
  Bytes longer = good;
  longer[11] += 1;  // the description, after an 8-octet receiver report
  Bytes trailing = good;
  trailing.push_back(0);
  Bytes padFirst = good;
  padFirst[0] |= 0x20;
  Bytes blocks = good;
  blocks[0] |= 0x01;  // claims a report block it does not hold
  const Case cases[] = {
      {"SDES first", notFirst, RtcpCompound::Error::NotAReportFirst},
      {"version 1", version, RtcpCompound::Error::NotVersion2},
      {"length past the end", longer, RtcpCompound::Error::BadLength},
      {"octets after the last part", trailing, RtcpCompound::Error::BadLength},
      {"padding on a part that is not the last", padFirst, RtcpCompound::Error::BadPadding},
      {"a report block that is not there", blocks, RtcpCompound::Error::BadLength},
      {"a header alone", Bytes{0x80, 201, 0, 0}, RtcpCompound::Error::TooShort},
  };
  for (const Case& k : cases) {
    RtcpCompound::Error error = RtcpCompound::Error::None;
    EXPECT_FALSE(RtcpCompound::Parse(k.bytes, &error)) << k.what;
    EXPECT_EQ(error, k.error) << k.what;
  }
}

}  // namespace
}  // namespace vantro::rtp
