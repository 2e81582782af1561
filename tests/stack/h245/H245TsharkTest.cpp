// tshark reads every kind of H.245 message our control sends to a far end, tunnelled as the
// connection sends it, and finds nothing malformed. (The call tests on the wire dissect whole calls:
// the usual exchanges, fast start, keys.)

#include "stack/asn/Per.h"
#include "stack/h225/H225MessageBuilder.h"
#include "stack/h245/H245Messages.h"
#include "stack/q931/Tpkt.h"
#include "tests/stack/h245/H245PairTest.h"
#include "tests/support/Tshark.h"

#include <map>

namespace vantro::test {
namespace {

class H245Tshark : public H245Pair {
 protected:
  void SetUp() override {
    if (!judge.Available()) GTEST_SKIP() << "tshark or text2pcap is not installed";
  }

  // One message of each kind our controls send in a call whose far end refuses, asks odd things
  // and falls silent.
  std::vector<asn::Value> EveryKindWeSend() {
    MakeReady();
    a->Control().OpenChannel(G711Out(5001));
    a->Control().SendUserInput("12");
    const unsigned fromB = b->Control().OpenChannel(G711Out(7001));
    Exchange(*a, *b);
    const std::string close = "request.requestChannelClose forwardLogicalChannelNumber=";
    for (const std::string& m :
         {close + std::to_string(fromB), close + "500",
          std::string("request.openLogicalChannel forwardLogicalChannelParameters.dataType.videoData"),
          std::string("request.requestMode requestedModes[0][0]"),
          std::string("request.conferenceRequest.terminalListRequest"), std::string("request.roundTripDelayRequest"),
          std::string("request.terminalCapabilitySet protocolIdentifier=0.0.8.245.0.13 "
                      "capabilityDescriptors[0].simultaneousCapabilities[0][0]=9")})
      b->Receive(Msg(m));
    Exchange(*a, *b);
    // Equal numbers to a side that has not started; then silence.
    auto quick = TestSettings(10ms);
    quick.randomNumber = [] { return 99u; };
    H245TestPeer c(io, "C", quick);
    c.Receive(Msg("request.masterSlaveDetermination terminalType=50 statusDeterminationNumber=99"));
    c.Control().Start();
    RunUntil([&] { return c.Count("indication.masterSlaveDeterminationRelease") > 0; });
    c.Control().SendEndSession();

    std::map<std::pair<std::uint16_t, std::uint16_t>, asn::Value> kinds;
    for (const auto* sent : {&a->Sent(), &b->Sent(), &c.Sent()})
      for (const asn::Value& m : *sent) kinds.emplace(std::make_pair(m.Choice(), m.Alternative().Choice()), m);
    std::vector<asn::Value> out;
    for (auto& [k, m] : kinds) out.push_back(m);
    return out;
  }

  Tshark judge;
};

TEST_F(H245Tshark, ReadsEveryKindOfMessageWeSend) {
  const std::vector<asn::Value> messages = EveryKindWeSend();
  for (const char* kind : {"request.masterSlaveDetermination",
                           "request.terminalCapabilitySet",
                           "request.openLogicalChannel",
                           "request.closeLogicalChannel",
                           "response.masterSlaveDeterminationAck",
                           "response.masterSlaveDeterminationReject",
                           "response.terminalCapabilitySetAck",
                           "response.terminalCapabilitySetReject",
                           "response.openLogicalChannelAck",
                           "response.openLogicalChannelReject",
                           "response.closeLogicalChannelAck",
                           "response.requestChannelCloseAck",
                           "response.requestChannelCloseReject",
                           "response.requestModeReject",
                           "response.roundTripDelayResponse",
                           "command.endSessionCommand",
                           "indication.masterSlaveDeterminationRelease",
                           "indication.userInput",
                           "indication.functionNotSupported",
                           "indication.terminalCapabilitySetRelease"})
    EXPECT_TRUE(std::any_of(messages.begin(), messages.end(), [&](const auto& m) { return m.Find(kind); }))
        << "never sent: " << kind;

  // Each in a Facility of its own.
  std::vector<std::vector<std::uint8_t>> packets;
  for (const asn::Value& m : messages) {
    h225::H225Message facility =
        h225::H225MessageBuilder({0x0101, true, std::string(16, '\x11'), std::string(16, '\x22')}).H245Carrier();
    facility.AddH245Control(*asn::Encode(m));
    packets.push_back(*q931::TpktFrame(*facility.Encode()));
  }
  auto rows = judge.Signalling(
      packets, {"h245.pdu_type", "h245.request", "h245.response", "h245.command", "h245.indication", "_ws.malformed"});
  ASSERT_EQ(rows.size(), packets.size());
  const char* names[] = {"h245.request", "h245.response", "h245.command", "h245.indication"};
  for (std::size_t i = 0; i < messages.size(); ++i) {
    const asn::Value& m = messages[i];
    SCOPED_TRACE(h245::MessageName(m));
    // A returned function is dissected too: the message's own kind comes first.
    const std::string& alternative = rows[i][names[m.Choice()]];
    EXPECT_EQ(rows[i]["h245.pdu_type"].substr(0, 1), std::to_string(m.Choice()));
    EXPECT_EQ(alternative.substr(0, alternative.find(',')), std::to_string(m.Alternative().Choice()));
    EXPECT_EQ(rows[i]["_ws.malformed"], "");
  }
  const std::string text = judge.VerboseH323(packets, true);
  for (const char* bad : {"Malformed", "Expert Info (Error", "Expert Info (Warning"})
    EXPECT_EQ(text.find(bad), std::string::npos) << text;
}

}  // namespace
}  // namespace vantro::test
