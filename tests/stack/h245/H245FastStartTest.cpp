// Fast start: our proposals, the callee's choice by its table order, the caller's reading of the
// answer; against ourselves and against what a real peer proposed and answered.

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
  auto v = asn::decode(h245::OpenLogicalChannel::Id, bytes);
  EXPECT_TRUE(v.ok());
  return v.ok() ? *v : asn::Value(h245::OpenLogicalChannel::Id);
}

std::vector<Octets> FromHex(const std::vector<CaptureVector>& vectors) {
  std::vector<Octets> out;
  for (const auto& v : vectors) out.push_back(fromHex(v.hex));
  return out;
}

std::optional<asn::Ipv4Address> Address(const asn::Value& olc, const char* path) {
  const asn::Value* v = olc.find(path);
  return v ? asn::ipv4(*v) : std::nullopt;
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
    numbers.insert(olc.find("forwardLogicalChannelNumber")->integer());
    if (i % 2 == 0) {  // we receive: the far end transmits to our RTP
      EXPECT_TRUE(olc.find("forwardLogicalChannelParameters.dataType")->is(h245::DataType::nullData));
      EXPECT_TRUE(olc.find("reverseLogicalChannelParameters.dataType.audioData")->is(formats[i / 2]));
      EXPECT_EQ(
          Address(olc,
                  "reverseLogicalChannelParameters.multiplexParameters.h2250LogicalChannelParameters.mediaChannel"),
          kCaller.media);
      EXPECT_EQ(Address(olc,
                        "reverseLogicalChannelParameters.multiplexParameters.h2250LogicalChannelParameters."
                        "mediaControlChannel"),
                kCaller.control);
    } else {  // we transmit: only our RTCP
      EXPECT_FALSE(olc.find("reverseLogicalChannelParameters"));
      EXPECT_TRUE(olc.find("forwardLogicalChannelParameters.dataType.audioData")->is(formats[i / 2]));
      const char* h2250 = "forwardLogicalChannelParameters.multiplexParameters.h2250LogicalChannelParameters";
      EXPECT_FALSE(olc.find((std::string(h2250) + ".mediaChannel").c_str()));
      EXPECT_EQ(Address(olc, (std::string(h2250) + ".mediaControlChannel").c_str()), kCaller.control);
    }
  }
  EXPECT_EQ(numbers, (std::set<std::int64_t>{1, 2, 3, 4, 5, 6}));
  // Receive proposals offer what we take at most, transmit ones what we send.
  EXPECT_EQ(Decode(proposals[4]).find("reverseLogicalChannelParameters.dataType.audioData.g711Ulaw64k")->integer(), 30);
  EXPECT_EQ(Decode(proposals[5]).find("forwardLogicalChannelParameters.dataType.audioData.g711Ulaw64k")->integer(), 20);
}

TEST(FastStart, TheCalleeChoosesByItsOrderAndTheCallerReadsTheChoice) {
  auto proposals = vantro::h245::BuildFastStartProposals(DialerCapabilities(), kCaller, 1);
  auto calleeTable = CapabilitiesOf({"G.711-uLaw-64k", "G.729A"});
  auto answer = vantro::h245::SelectFastStart(proposals, calleeTable, kCallee);
  ASSERT_EQ(answer.reply.size(), 2u);
  ASSERT_EQ(answer.channels.size(), 2u);
  const FastStartChannel& send = answer.channels[0];
  const FastStartChannel& take = answer.channels[1];
  EXPECT_TRUE(send.weTransmit);
  EXPECT_EQ(send.capability->GetFormatName(), "G.711-uLaw-64k");
  EXPECT_EQ(send.number, 5u);  // the caller's receive proposal of G.711
  EXPECT_EQ(send.remoteMedia, kCaller.media);
  EXPECT_EQ(send.remoteControl, kCaller.control);
  EXPECT_FALSE(take.weTransmit);
  EXPECT_EQ(take.capability->GetFormatName(), "G.711-uLaw-64k");
  EXPECT_EQ(take.number, 6u);
  EXPECT_EQ(take.remoteControl, kCaller.control);

  auto read = vantro::h245::ReadFastStartAnswer(answer.reply, DialerCapabilities(), kCaller);
  ASSERT_EQ(read.size(), 2u);
  const FastStartChannel& callerTakes = read[0].weTransmit ? read[1] : read[0];
  const FastStartChannel& callerSends = read[0].weTransmit ? read[0] : read[1];
  EXPECT_TRUE(callerSends.weTransmit);
  EXPECT_EQ(callerSends.number, 6u);
  EXPECT_EQ(callerSends.remoteMedia, kCallee.media);
  EXPECT_EQ(callerSends.remoteControl, kCallee.control);
  EXPECT_EQ(callerSends.capability->GetFormatName(), "G.711-uLaw-64k");
  EXPECT_FALSE(callerTakes.weTransmit);
  EXPECT_EQ(callerTakes.number, 5u);
  EXPECT_EQ(callerTakes.remoteControl, kCallee.control);
}

TEST(FastStart, NothingInCommonMeansNoFastStart) {
  auto proposals = vantro::h245::BuildFastStartProposals(DialerCapabilities(), kCaller, 1);
  auto answer = vantro::h245::SelectFastStart(proposals, CapabilitiesOf({"G.711-ALaw-64k"}), kCallee);
  EXPECT_TRUE(answer.reply.empty());
  EXPECT_TRUE(answer.channels.empty());
  std::vector<Octets> junk{{0xff, 0x01}, {}};
  EXPECT_TRUE(vantro::h245::SelectFastStart(junk, DialerCapabilities(), kCallee).reply.empty());
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
  EXPECT_TRUE(reverse.find("forwardLogicalChannelParameters.dataType")->is(h245::DataType::nullData));
  EXPECT_EQ(Address(reverse,
                    "reverseLogicalChannelParameters.multiplexParameters.h2250LogicalChannelParameters."
                    "mediaControlChannel"),
            kCallee.control);
  asn::Value forward = Decode(answer.reply[1]);
  EXPECT_EQ(forward.find("forwardLogicalChannelNumber")->integer(), 101);
  const char* h2250 = "forwardLogicalChannelParameters.multiplexParameters.h2250LogicalChannelParameters";
  EXPECT_EQ(Address(forward, (std::string(h2250) + ".mediaChannel").c_str()), kCallee.media);
  EXPECT_EQ(Address(forward, (std::string(h2250) + ".mediaControlChannel").c_str()), kCallee.control);
  const asn::Value peer = Decode(fromHex(kPeerFastStartAnswer[1].hex));
  EXPECT_EQ(*forward.find("forwardLogicalChannelParameters.dataType"),
            *peer.find("forwardLogicalChannelParameters.dataType"));
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

TEST(FastStart, AnswersAreReadTolerantly) {
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
