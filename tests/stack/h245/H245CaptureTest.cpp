// What a real endpoint (an open-source library's phone, through an open-source gatekeeper) sent in
// captured calls: our control answers in the very octets that peer sends itself, and fast start
// reads its proposals and answers as it meant them. (The call replays run these calls whole.)

#include "stack/asn/Per.h"
#include "stack/h245/H245FastStart.h"
#include "tests/stack/h245/H245PairTest.h"

namespace vantro::test {
namespace {

using h245::FastStartChannel;
using h245::FastStartLocal;
using h245::Octets;

// G.711 µ-law, user input, RFC 2833; and G.711 A-law and µ-law.
const char kCapabilitySet[] =
    "0270010600088175000f80138000fa000100000100000100000cc0010001800480000020c0138000018301508000028301108000038301"
    "408000048a061404302d31360080010200000000000102000200030004";
const char kCapabilitySetALaw[] =
    "0270010600088175000f80138000fa000100000100000100000cc0010001800580000020401380000120c0138000028301508000038301"
    "108000048301408000058a061404302d313600800102010000000100000202000300040005";
const char kMasterSlave[] = "010032806a8ee4";  // terminal type 50, number 6983396
// Fast start elements: the caller (RTP/RTCP 127.0.0.1:5100/5101) receives on 1 and transmits on
// 101; the callee (5000/5001) transmits on 101 and receives on 101.
const std::vector<std::string> kProposals = {
    "400000060401004c6013801e9c0001007f00000113ec007f00000113ed010b300080b080018001fc0040",
    "0000640c601380188d0001007f00000113ed00800b300080b080018001fc0040"};
const std::vector<std::string> kAnswer = {
    "400064060401004c601380188d0001007f000001138900800b300080b080018001fc0040",
    "0000640c6013801e9c0001007f0000011388007f0000011389010b300080b080018001fc0040"};

TEST_F(H245Pair, ARealPeerIsAnsweredInItsOwnOctets) {
  auto settings = TestSettings();
  settings.randomNumber = [] { return 1000u; };  // below the peer's number: we are master
  Make(settings);
  a->Control().SendUserInput("9");
  a->ReceiveHex(kCapabilitySet);
  a->ReceiveHex(kMasterSlave);
  a->ReceiveHex(kCapabilitySetALaw);
  a->Control().SendEndSession();
  std::vector<std::string> sent;
  for (const asn::Value& m : a->Sent()) sent.push_back(toHex(*asn::Encode(m)));
  // The key, the Acks of the set and of the determination ("you are slave"), the next Ack, the end.
  EXPECT_EQ(sent, (std::vector<std::string>{"6d400139", "218001", "20a0", "218001", "4a40"}));

  ASSERT_EQ(a->remote.size(), 2u);
  auto common = a->remote[0].FirstCommon(DialerCapabilities());
  ASSERT_TRUE(common);
  EXPECT_EQ(common->ours->GetFormatName(), "G.711-uLaw-64k");
  EXPECT_EQ(common->ours->GetFramesInPacket(common->theirs), 20u);
  EXPECT_EQ(a->remote[1].ReceiveAudio().size(), 2u);
  common = a->remote[1].FirstCommon(CapabilitiesOf({"G.729A", "G.711-ALaw-64k", "G.711-uLaw-64k"}));
  ASSERT_TRUE(common);
  EXPECT_EQ(common->ours->GetFormatName(), "G.711-ALaw-64k");
  EXPECT_FALSE(a->remote[1].FirstCommon(CapabilitiesOf({"G.729A", "G.723.1A"})));
}

std::vector<Octets> FromHex(const std::vector<std::string>& hex) {
  std::vector<Octets> out;
  for (const auto& h : hex) out.push_back(fromHex(h));
  return out;
}

// Each channel as "tx|rx number RTP-port/RTCP-port", "-" for an address not given.
std::vector<std::string> Summary(const std::vector<FastStartChannel>& channels) {
  auto port = [](const std::optional<asn::Ipv4Address>& a) { return a ? std::to_string(a->port) : "-"; };
  std::vector<std::string> out;
  for (const auto& c : channels)
    out.push_back((c.weTransmit ? "tx " : "rx ") + std::to_string(c.number) + " " + port(c.remoteMedia) + "/" +
                  port(c.remoteControl));
  return out;
}

const FastStartLocal kCaller{1, Loopback(5100), Loopback(5101)};
const FastStartLocal kCallee{1, Loopback(5000), Loopback(5001)};

TEST(FastStart, ARealPeersProposalsAndAnswerAreRead) {
  const auto chosen = h245::SelectFastStart(FromHex(kProposals), DialerCapabilities(), kCallee);
  EXPECT_EQ(Summary(chosen.channels), (std::vector<std::string>{"tx 1 5100/5101", "rx 101 -/5101"}));
  ASSERT_EQ(chosen.channels.size(), 2u);
  EXPECT_EQ(chosen.channels[1].capability->GetFramesInPacket(chosen.channels[1].audioCapability), 20u);
  // Our answer sends what the peer's own answer sends.
  ASSERT_EQ(chosen.reply.size(), 2u);
  auto dataType = [](const Octets& olc) {
    return *asn::Decode(asn::h245::OpenLogicalChannel::Id, olc)->Find("forwardLogicalChannelParameters.dataType");
  };
  EXPECT_EQ(dataType(chosen.reply[1]), dataType(fromHex(kAnswer[1])));

  const auto read = h245::ReadFastStartAnswer(FromHex(kAnswer), DialerCapabilities(), kCaller);
  EXPECT_EQ(Summary(read), (std::vector<std::string>{"rx 101 -/5001", "tx 101 5000/5001"}));
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[1].capability->GetFormatName(), "G.711-uLaw-64k");
}

// The callee's choice by its own table order and nothing in common are the call tests' work; here,
// junk and answers that are half right.
TEST(FastStart, ProposalsAndAnswersAreReadTolerantly) {
  EXPECT_TRUE(h245::SelectFastStart({{0xff, 0x01}, {}}, DialerCapabilities(), kCallee).reply.empty());
  auto ours = h245::BuildFastStartProposals(CapabilitiesOf({"G.711-uLaw-64k"}), kCaller, 1);
  auto foreign = h245::BuildFastStartProposals(CapabilitiesOf({"G.711-ALaw-64k"}), kCallee, 1);
  const struct {
    std::vector<Octets> answer;
    bool withOurAddresses;
    std::vector<std::string> read;
  } rows[] = {
      // Junk, our receive proposal echoed twice (our RTCP is not the far end's), a format we lack.
      {{{0x00}, ours[0], ours[0], foreign[1]}, true, {"rx 1 -/-"}},
      {{ours[1]}, true, {}},  // a transmit answer without an RTP address
      {{ours[0]}, false, {"rx 1 -/5101"}},
  };
  for (const auto& row : rows) {
    const std::optional<FastStartLocal> local = row.withOurAddresses ? std::optional(kCaller) : std::nullopt;
    EXPECT_EQ(Summary(h245::ReadFastStartAnswer(row.answer, DialerCapabilities(), local)), row.read);
  }
}

}  // namespace
}  // namespace vantro::test
