// Fast start: our proposals, and the choice and answer against what a real peer proposed and
// answered.

#include "stack/asn/Per.h"
#include "stack/asn/generated/H245.h"
#include "stack/h245/H245FastStart.h"
#include "tests/stack/h245/H245CaptureVectors.h"
#include "tests/stack/h245/H245TestPeer.h"

#include <gtest/gtest.h>

#include <set>

namespace vantro::test {
namespace {

namespace h245 = asn::h245;
using vantro::h245::FastStartChannel;
using vantro::h245::FastStartLocal;
using vantro::h245::Octets;

const FastStartLocal kCaller{1, Loopback(5100), Loopback(5101)};
const FastStartLocal kCallee{1, Loopback(5000), Loopback(5001)};

asn::Value Decode(const Octets& bytes) {
  auto v = asn::Decode(h245::OpenLogicalChannel::Id, bytes);
  EXPECT_TRUE(v.Ok());
  return v.Ok() ? *v : asn::Value(h245::OpenLogicalChannel::Id);
}

std::vector<Octets> FromHex(const std::vector<CaptureVector>& vectors) {
  std::vector<Octets> out;
  for (const auto& v : vectors) out.push_back(fromHex(v.hex));
  return out;
}

// A component of a channel's forward or reverse H.225.0 parameters ("mediaChannel", ...).
const asn::Value* H2250(const asn::Value& olc, bool reverse, const char* component) {
  return olc.Find(std::string(reverse ? "reverse" : "forward") +
                  "LogicalChannelParameters.multiplexParameters.h2250LogicalChannelParameters." + component);
}

std::optional<asn::Ipv4Address> Address(const asn::Value& olc, bool reverse, const char* component) {
  const asn::Value* v = H2250(olc, reverse, component);
  return v ? asn::Ipv4(*v) : std::nullopt;
}

TEST(FastStart, ProposalsOfferEachCapabilityBothWays) {
  auto proposals = vantro::h245::BuildFastStartProposals(DialerCapabilities(), kCaller, 1);
  ASSERT_EQ(proposals.size(), 6u);
  std::set<std::int64_t> numbers;
  const std::uint16_t formats[] = {h245::AudioCapability::g729AnnexA, h245::AudioCapability::g7231,
                                   h245::AudioCapability::g711Ulaw64k};
  for (std::size_t i = 0; i < proposals.size(); ++i) {
    SCOPED_TRACE(i);
    asn::Value olc = Decode(proposals[i]);
    numbers.insert(olc.Find("forwardLogicalChannelNumber")->Integer());
    if (i % 2 == 0) {  // we receive: the far end transmits to our RTP
      EXPECT_TRUE(olc.Find("forwardLogicalChannelParameters.dataType")->Is(h245::DataType::nullData));
      EXPECT_TRUE(olc.Find("reverseLogicalChannelParameters.dataType.audioData")->Is(formats[i / 2]));
      EXPECT_EQ(Address(olc, true, "mediaChannel"), kCaller.media);
      EXPECT_EQ(Address(olc, true, "mediaControlChannel"), kCaller.control);
    } else {  // we transmit: only our RTCP
      EXPECT_FALSE(olc.Find("reverseLogicalChannelParameters"));
      EXPECT_TRUE(olc.Find("forwardLogicalChannelParameters.dataType.audioData")->Is(formats[i / 2]));
      EXPECT_FALSE(H2250(olc, false, "mediaChannel"));
      EXPECT_EQ(Address(olc, false, "mediaControlChannel"), kCaller.control);
    }
  }
  EXPECT_EQ(numbers, (std::set<std::int64_t>{1, 2, 3, 4, 5, 6}));
  // Receive proposals offer what we take at most, transmit ones what we send.
  EXPECT_EQ(Decode(proposals[4]).Find("reverseLogicalChannelParameters.dataType.audioData.g711Ulaw64k")->Integer(), 30);
  EXPECT_EQ(Decode(proposals[5]).Find("forwardLogicalChannelParameters.dataType.audioData.g711Ulaw64k")->Integer(), 20);
}

TEST(FastStart, ARealCallersProposalsAreChosen) {
  auto answer = vantro::h245::SelectFastStart(FromHex(kPeerFastStartProposals), DialerCapabilities(), kCallee);
  ASSERT_EQ(answer.channels.size(), 2u);
  const FastStartChannel& send = answer.channels[0];
  EXPECT_TRUE(send.weTransmit);
  EXPECT_EQ(send.number, 1u);
  EXPECT_EQ(send.remoteMedia, Loopback(5100));
  EXPECT_EQ(send.remoteControl, Loopback(5101));
  const FastStartChannel& take = answer.channels[1];
  EXPECT_EQ(take.number, 101u);
  EXPECT_EQ(take.remoteControl, Loopback(5101));
  EXPECT_EQ(take.capability->GetFramesInPacket(take.audioCapability), 20u);
  // Our answer has the shape of the peer's own answer to the same proposals.
  ASSERT_EQ(answer.reply.size(), 2u);
  asn::Value reverse = Decode(answer.reply[0]);
  EXPECT_TRUE(reverse.Find("forwardLogicalChannelParameters.dataType")->Is(h245::DataType::nullData));
  EXPECT_EQ(Address(reverse, true, "mediaControlChannel"), kCallee.control);
  asn::Value forward = Decode(answer.reply[1]);
  EXPECT_EQ(forward.Find("forwardLogicalChannelNumber")->Integer(), 101);
  EXPECT_EQ(Address(forward, false, "mediaChannel"), kCallee.media);
  EXPECT_EQ(Address(forward, false, "mediaControlChannel"), kCallee.control);
  const asn::Value peer = Decode(fromHex(kPeerFastStartAnswer[1].hex));
  EXPECT_EQ(*forward.Find("forwardLogicalChannelParameters.dataType"),
            *peer.Find("forwardLogicalChannelParameters.dataType"));
}

TEST(FastStart, ARealCalleesAnswerIsRead) {
  auto read = vantro::h245::ReadFastStartAnswer(FromHex(kPeerFastStartAnswer), DialerCapabilities(), kCaller);
  ASSERT_EQ(read.size(), 2u);
  EXPECT_FALSE(read[0].weTransmit);
  EXPECT_EQ(read[0].number, 101u);
  EXPECT_EQ(read[0].remoteControl, Loopback(5001));
  EXPECT_TRUE(read[1].weTransmit);
  EXPECT_EQ(read[1].number, 101u);
  EXPECT_EQ(read[1].remoteMedia, Loopback(5000));
  EXPECT_EQ(read[1].remoteControl, Loopback(5001));
  EXPECT_EQ(read[1].capability->GetFormatName(), "G.711-uLaw-64k");
}

// The callee's choice by its own table order, and nothing in common, are the call tests' work
// (Incoming.FastStartIsChosenByOurTableOrder…, Incoming.FastStartWithNothingInCommonIsRefused,
// CodecChoice/*FastStart); here, what is made of junk and of answers that are half right.
TEST(FastStart, ProposalsAndAnswersAreReadTolerantly) {
  std::vector<Octets> junk{{0xff, 0x01}, {}};
  EXPECT_TRUE(vantro::h245::SelectFastStart(junk, DialerCapabilities(), kCallee).reply.empty());
  // A callee that echoes our own addresses and repeats itself, with junk and a format we lack.
  auto proposals = vantro::h245::BuildFastStartProposals(CapabilitiesOf({"G.711-uLaw-64k"}), kCaller, 1);
  std::vector<Octets> reply{{0x00}, proposals[0], proposals[0]};
  auto foreign = vantro::h245::BuildFastStartProposals(CapabilitiesOf({"G.711-ALaw-64k"}), kCallee, 1);
  reply.push_back(foreign[1]);
  auto read = vantro::h245::ReadFastStartAnswer(reply, DialerCapabilities(), kCaller);
  ASSERT_EQ(read.size(), 1u);  // the receive channel, once
  EXPECT_FALSE(read[0].weTransmit);
  EXPECT_FALSE(read[0].remoteControl);  // our own RTCP echoed is not the far end's
  // A transmit answer without an RTP address cannot be used.
  EXPECT_TRUE(vantro::h245::ReadFastStartAnswer({proposals[1]}, DialerCapabilities(), kCaller).empty());
  // Without our addresses to compare, what the answer says is taken.
  read = vantro::h245::ReadFastStartAnswer({proposals[0]}, DialerCapabilities());
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].remoteControl, kCaller.control);
}

}  // namespace
}  // namespace vantro::test
