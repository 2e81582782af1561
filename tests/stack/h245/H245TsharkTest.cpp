// tshark reads every kind of H.245 message our control sends, tunnelled as the connection sends
// them, and our fast start proposals and answers in Setup and Connect, finding nothing malformed.

#include "stack/h225/H225MessageBuilder.h"
#include "stack/h245/H245FastStart.h"
#include "stack/h245/H245Messages.h"
#include "stack/q931/Tpkt.h"
#include "tests/support/Tshark.h"
#include "tests/stack/h245/H245PairTest.h"

#include <map>

namespace vantro::test {
namespace {

using vantro::h245::OutgoingChannel;

class H245Tshark : public H245Pair {
 protected:
  void SetUp() override {
    if (!judge.Available()) GTEST_SKIP() << "tshark or text2pcap is not installed";
  }

  // A call that makes the two controls send every kind of message they have.
  std::vector<asn::Value> EveryKindWeSend() {
    auto quick = TestSettings(std::chrono::milliseconds(10));
    quick.randomNumber = [] { return 99u; };
    Make(quick, quick);
    a->Control().Start();
    b->Control().Start();
    Exchange(*a, *b);  // equal numbers: determination retried, then given up
    std::vector<asn::Value> out = a->Sent();
    out.insert(out.end(), b->Sent().begin(), b->Sent().end());
    a->Receive(Message(MSCM::request, Request::masterSlaveDetermination, [](asn::Value& v) {
      v.Field(h245::MasterSlaveDetermination::terminalType).SetInteger(50);
      v.Field(h245::MasterSlaveDetermination::statusDeterminationNumber).SetInteger(99);
    }));
    out.push_back(a->Sent().back());  // MSD reject
    Make(TestSettings(std::chrono::milliseconds(10)), TestSettings(std::chrono::milliseconds(10)));
    MakeReady();
    const OutgoingChannel g711 = G711Out(5001);
    const unsigned fromA = a->Control().OpenChannel(g711);
    b->Control().OpenChannel(g711);
    Exchange(*a, *b);
    b->Control().RequestChannelClose(fromA);
    Exchange(*a, *b);
    b->answer = [](const vantro::h245::IncomingChannel&) { return vantro::h245::IncomingAnswer{}; };
    a->Control().OpenChannel(g711);
    a->Control().SendUserInput("7");
    b->Receive(CapabilitySet(5, [](asn::Value& v) {
      asn::Value& d = v.Field(h245::TerminalCapabilitySet::capabilityDescriptors).Append();
      d.Field(h245::CapabilityDescriptor::capabilityDescriptorNumber).SetInteger(0);
      d.Field(h245::CapabilityDescriptor::simultaneousCapabilities).Append().Append().SetInteger(9);
    }));
    b->Receive(RequestChannelClose(500));
    b->Receive(Message(MSCM::request, Request::requestMode, [](asn::Value& v) {
      v.Field(h245::RequestMode::requestedModes).Append().Append();
      asn::CompleteMandatory(v);
    }));
    b->Receive(Message(MSCM::request, Request::conferenceRequest,
                       [](asn::Value& v) { v.Select(h245::ConferenceRequest::terminalListRequest); }));
    b->Receive(DtmfOnlySet(6, 4));    // A's strings entry becomes DTMF: A takes only signals now
    b->Control().SendUserInput("#");  // a signal
    a->Control().SendRoundTripDelayRequest();
    Exchange(*a, *b);
    b->answer = nullptr;
    const unsigned late = a->Control().OpenChannel(g711);
    Exchange(*a, *b);
    b->Control().RequestChannelClose(late);
    b->DropQueued();
    RunUntil([&] { return b->Count(MSCM::indication, Indication::requestChannelCloseRelease) > 0; });
    a->Control().SendEndSession();
    out.insert(out.end(), a->Sent().begin(), a->Sent().end());

    // And a determination that finds no answer.
    a = std::make_unique<H245TestPeer>(io, "C", TestSettings(std::chrono::milliseconds(10)));
    a->Control().Start();
    RunUntil([&] { return a->Count(MSCM::indication, Indication::masterSlaveDeterminationRelease) > 0; });
    for (const auto* peer : {a.get(), b.get()}) out.insert(out.end(), peer->Sent().begin(), peer->Sent().end());
    return out;
  }

  Tshark judge;
};

h225::H225MessageBuilder Builder(bool originating) {
  return h225::H225MessageBuilder({0x0101, originating, std::string(16, '\x11'), std::string(16, '\x22')});
}

std::vector<std::uint8_t> Framed(const h225::H225Message& m) { return *q931::TpktFrame(*m.Encode()); }

// The messages tunnelled in a Facility, as the connection sends them when nothing else goes.
std::vector<std::uint8_t> Tunnelled(const std::vector<asn::Value>& messages) {
  h225::H225Message facility = Builder(true).H245Carrier();
  for (const asn::Value& m : messages) facility.AddH245Control(*asn::Encode(m));
  return Framed(facility);
}

void ExpectClean(const std::string& text) {
  EXPECT_EQ(text.find("Malformed"), std::string::npos) << text;
  EXPECT_EQ(text.find("Expert Info (Error"), std::string::npos) << text;
  EXPECT_EQ(text.find("Expert Info (Warning"), std::string::npos) << text;
}

TEST_F(H245Tshark, ReadsEveryKindOfMessageWeSend) {
  // One message of each kind, each in a Facility of its own.
  std::map<std::pair<std::uint16_t, std::uint16_t>, asn::Value> kinds;
  for (const asn::Value& m : EveryKindWeSend()) kinds.emplace(std::make_pair(m.Choice(), m.Alternative().Choice()), m);
  const std::vector<std::pair<std::uint16_t, std::uint16_t>> expected = {
      {MSCM::request, Request::masterSlaveDetermination},
      {MSCM::request, Request::terminalCapabilitySet},
      {MSCM::request, Request::openLogicalChannel},
      {MSCM::request, Request::closeLogicalChannel},
      {MSCM::request, Request::requestChannelClose},
      {MSCM::request, Request::roundTripDelayRequest},
      {MSCM::response, Response::masterSlaveDeterminationAck},
      {MSCM::response, Response::masterSlaveDeterminationReject},
      {MSCM::response, Response::terminalCapabilitySetAck},
      {MSCM::response, Response::terminalCapabilitySetReject},
      {MSCM::response, Response::openLogicalChannelAck},
      {MSCM::response, Response::openLogicalChannelReject},
      {MSCM::response, Response::closeLogicalChannelAck},
      {MSCM::response, Response::requestChannelCloseAck},
      {MSCM::response, Response::requestChannelCloseReject},
      {MSCM::response, Response::requestModeReject},
      {MSCM::response, Response::roundTripDelayResponse},
      {MSCM::command, Command::endSessionCommand},
      {MSCM::indication, Indication::masterSlaveDeterminationRelease},
      {MSCM::indication, Indication::requestChannelCloseRelease},
      {MSCM::indication, Indication::userInput},
      {MSCM::indication, Indication::functionNotSupported},
      {MSCM::indication, Indication::terminalCapabilitySetRelease}};
  for (const auto& k : expected) EXPECT_TRUE(kinds.count(k)) << "never sent: " << k.first << "." << k.second;

  std::vector<std::vector<std::uint8_t>> packets;
  for (const auto& [k, m] : kinds) packets.push_back(Tunnelled({m}));
  const char* names[] = {"h245.request", "h245.response", "h245.command", "h245.indication"};
  auto rows = judge.Signalling(
      packets, {"h245.pdu_type", "h245.request", "h245.response", "h245.command", "h245.indication", "_ws.malformed"});
  ASSERT_EQ(rows.size(), kinds.size());
  std::size_t i = 0;
  for (const auto& [k, m] : kinds) {
    SCOPED_TRACE(vantro::h245::MessageName(m));
    // A returned function is dissected too: the message's own kind comes first.
    EXPECT_EQ(rows[i]["h245.pdu_type"].substr(0, 1), std::to_string(k.first));
    EXPECT_EQ(rows[i][names[k.first]].substr(0, rows[i][names[k.first]].find(',')), std::to_string(k.second));
    EXPECT_EQ(rows[i]["_ws.malformed"], "");
    ++i;
  }
  ExpectClean(judge.VerboseH323(packets, true));
}

TEST_F(H245Tshark, ReadsOurCapabilitySetAndChannelFields) {
  MakeReady();
  a->Control().OpenChannel(G711Out(5001));
  a->Control().SendUserInput("12");
  Exchange(*a, *b);
  // Our set, our channel, B's Ack of it, and a key.
  const auto& sent = a->Sent();
  std::vector<std::vector<std::uint8_t>> packets{Tunnelled({sent.front()}), Tunnelled({sent[sent.size() - 2]}),
                                                 Tunnelled({b->Sent().back()}), Tunnelled({sent.back()})};
  auto rows =
      judge.Signalling(packets, {"h245.sequenceNumber", "h245.protocolIdentifier", "h245.capabilityTableEntryNumber",
                                 "h245.CapabilityTableEntryNumber", "h245.g711Ulaw64k", "h245.tsapIdentifier",
                                 "h245.forwardLogicalChannelNumber", "h245.alphanumeric", "h245.sessionID"});
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0]["h245.sequenceNumber"], "1");
  EXPECT_EQ(rows[0]["h245.protocolIdentifier"], "0.0.8.245.0.13");
  EXPECT_EQ(rows[0]["h245.capabilityTableEntryNumber"], "1,2,3,4,5,6");
  EXPECT_EQ(rows[0]["h245.CapabilityTableEntryNumber"], "1,2,3,4,5,6");
  EXPECT_EQ(rows[0]["h245.g711Ulaw64k"], "30");
  EXPECT_EQ(rows[1]["h245.forwardLogicalChannelNumber"], "1");
  EXPECT_EQ(rows[1]["h245.g711Ulaw64k"], "20");
  EXPECT_EQ(rows[1]["h245.tsapIdentifier"], "5001");
  EXPECT_EQ(rows[1]["h245.sessionID"], "1");
  EXPECT_EQ(rows[2]["h245.tsapIdentifier"], "7000,7001");
  EXPECT_EQ(rows[2]["h245.sessionID"], "1");
  EXPECT_EQ(rows[3]["h245.alphanumeric"], "12");
}

TEST_F(H245Tshark, ReadsOurFastStartProposalsAndAnswer) {
  const vantro::h245::FastStartLocal caller{1, Loopback(5100), Loopback(5101)};
  const vantro::h245::FastStartLocal callee{1, Loopback(5000), Loopback(5001)};
  auto proposals = vantro::h245::BuildFastStartProposals(DialerCapabilities(), caller, 1);
  auto answer = vantro::h245::SelectFastStart(proposals, DialerCapabilities(), callee);
  ASSERT_EQ(answer.reply.size(), 2u);

  h225::H225MessageBuilder::SetupFields fields;
  fields.sourceAlias = "5550100";
  fields.destinationAlias = "5550200";
  h225::H225Message setup = Builder(true).Setup(fields);
  setup.SetFastStart(proposals);
  h225::H225Message connect = Builder(false).Connect();
  connect.SetFastStart(answer.reply);
  std::vector<std::vector<std::uint8_t>> packets{Framed(setup), Framed(connect)};
  auto rows = judge.Signalling(
      packets, {"h225.fastStart", "h245.forwardLogicalChannelNumber", "h245.tsapIdentifier", "_ws.malformed"});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0]["h225.fastStart"], "6");
  EXPECT_EQ(rows[0]["h245.forwardLogicalChannelNumber"], "1,2,3,4,5,6");
  EXPECT_EQ(rows[0]["h245.tsapIdentifier"], "5100,5101,5101,5100,5101,5101,5100,5101,5101");
  EXPECT_EQ(rows[1]["h225.fastStart"], "2");
  EXPECT_EQ(rows[1]["h245.tsapIdentifier"], "5001,5000,5001");
  ExpectClean(judge.VerboseH323(packets, true));
}

}  // namespace
}  // namespace vantro::test
