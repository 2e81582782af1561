// Fast start against what a real endpoint (an open-source library's phone, through an open-source
// gatekeeper) proposed and answered in captured calls, and against junk and answers that are half
// right. (The call replays run those calls whole but do not look at the addresses.)

#include "stack/asn/Per.h"
#include "stack/asn/generated/H245.h"
#include "stack/h245/H245FastStart.h"
#include "tests/stack/CaptureVectors.h"
#include "tests/stack/h245/H245TestPeer.h"

#include <gtest/gtest.h>

namespace vantro::test {
namespace {

using h245::FastStartChannel;
using h245::FastStartLocal;
using h245::Octets;

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

TEST(FastStart, ARealPeersProposalsAndAnswerAreReadAndHalfRightOnesTolerated) {
  // The real caller (RTP/RTCP 5100/5101) receives on 1 and transmits on 101.
  const std::vector<Octets> proposals = {
      FromHex("400000060401004c6013801e9c0001007f00000113ec007f00000113ed010b300080b080018001fc0040"),
      FromHex("0000640c601380188d0001007f00000113ed00800b300080b080018001fc0040")};
  const auto chosen = h245::SelectFastStart(proposals, DialerCapabilities(), kCallee);
  EXPECT_EQ(Summary(chosen.channels), (std::vector<std::string>{"tx 1 5100/5101", "rx 101 -/5101"}));
  ASSERT_EQ(chosen.channels.size(), 2u);
  EXPECT_EQ(chosen.channels[1].capability->GetFramesInPacket(chosen.channels[1].audioCapability), 20u);
  EXPECT_TRUE(h245::SelectFastStart({{0xff, 0x01}, {}}, DialerCapabilities(), kCallee).reply.empty());

  // The real callee (5000/5001) transmits on 101 and receives on 101.
  const std::vector<Octets> answer = {
      FromHex("400064060401004c601380188d0001007f000001138900800b300080b080018001fc0040"),
      FromHex("0000640c6013801e9c0001007f0000011388007f0000011389010b300080b080018001fc0040")};
  // Our answer sends what the peer's own answer sends.
  ASSERT_EQ(chosen.reply.size(), 2u);
  auto dataType = [](const Octets& olc) {
    return *asn::Decode(asn::h245::OpenLogicalChannel::Id, olc)->Find("forwardLogicalChannelParameters.dataType");
  };
  EXPECT_EQ(dataType(chosen.reply[1]), dataType(answer[1]));
  auto ours = h245::BuildFastStartProposals(CapabilitiesOf({"G.711-uLaw-64k"}), kCaller, 1);
  auto foreign = h245::BuildFastStartProposals(CapabilitiesOf({"G.711-ALaw-64k"}), kCallee, 1);
  const struct {
    std::vector<Octets> answer;
    bool withOurAddresses;
    std::vector<std::string> read;
  } rows[] = {
      {answer, true, {"rx 101 -/5001", "tx 101 5000/5001"}},
      // Junk, our receive proposal echoed twice (our RTCP is not the far end's), a format we lack.
      {{{0x00}, ours[0], ours[0], foreign[1]}, true, {"rx 1 -/-"}},
      {{ours[1]}, true, {}},  // a transmit answer without an RTP address
      {{ours[0]}, false, {"rx 1 -/5101"}},
  };
  for (const auto& row : rows) {
    const std::optional<FastStartLocal> local = row.withOurAddresses ? std::optional(kCaller) : std::nullopt;
    const auto read = h245::ReadFastStartAnswer(row.answer, DialerCapabilities(), local);
    EXPECT_EQ(Summary(read), row.read);
    for (const auto& c : read) EXPECT_EQ(c.capability->GetFormatName(), "G.711-uLaw-64k");
  }
}

}  // namespace
}  // namespace vantro::test
