// The H.245 messages a real endpoint sent in captured calls, fed to our control: it reads them as
// that peer meant them and answers with messages of the very shape the peer itself sends.

#include "tests/stack/h245/H245CaptureVectors.h"
#include "tests/stack/h245/H245PairTest.h"

namespace vantro::test {
namespace {

std::string HexOf(const asn::Value& message) { return toHex(*asn::Encode(message)); }

class RealPeer : public H245Pair {
 protected:
  void SetUp() override {
    auto settings = TestSettings();
    settings.randomNumber = [] { return 1000u; };  // below the peer's 6983396: we are master
    Make(settings, TestSettings());
  }
};

TEST_F(RealPeer, ItsOpeningIsAnsweredAndTheCallBecomesReady) {
  a->ReceiveHex(kPeerCapabilitySet.hex);
  a->ReceiveHex(kPeerMasterSlave.hex);
  ASSERT_EQ(a->Sent().size(), 2u);
  EXPECT_EQ(HexOf(a->Sent()[0]), kPeerCapabilitySetAck.hex);
  EXPECT_EQ(HexOf(a->Sent()[1]), kPeerMasterSlaveAckSlave.hex);  // "you are slave"

  ASSERT_EQ(a->remote.size(), 1u);
  const auto& theirs = a->remote[0];
  EXPECT_EQ(theirs.table.size(), 5u);
  ASSERT_EQ(theirs.ReceiveAudio().size(), 1u);
  auto common = theirs.FirstCommon(DialerCapabilities());
  ASSERT_TRUE(common);
  EXPECT_EQ(common->ours->GetFormatName(), "G.711-uLaw-64k");
  EXPECT_EQ(common->ours->GetFramesInPacket(common->theirs), 20u);

  a->Control().Start();
  EXPECT_EQ(a->Count(MSCM::request, Request::masterSlaveDetermination), 0u);  // already under way
  a->ReceiveHex(kPeerCapabilitySetAck.hex);
  a->ReceiveHex(kPeerMasterSlaveAckMaster.hex);
  ASSERT_EQ(a->ready.size(), 1u);
  EXPECT_TRUE(a->ready[0]);
  EXPECT_TRUE(a->failures.empty());
}

TEST_F(RealPeer, ItsChannelIsAcknowledgedAsItAcknowledgesChannels) {
  a->answer = [](const vantro::h245::IncomingChannel&) {
    vantro::h245::IncomingAnswer yes;
    yes.accept = true;
    yes.media = Loopback(5000);
    yes.control = Loopback(5001);
    return yes;
  };
  a->ReceiveHex(kPeerOpenChannel.hex);
  ASSERT_EQ(a->incoming.size(), 1u);
  EXPECT_EQ(a->incoming[0].number, 101u);
  EXPECT_EQ(a->incoming[0].sessionID, 1u);
  EXPECT_EQ(a->incoming[0].remoteControl, Loopback(5001));
  EXPECT_TRUE(a->incoming[0].audioCapability.Is(h245::AudioCapability::g711Ulaw64k));
  ASSERT_EQ(a->Sent().size(), 1u);
  // The same values; the octets differ only in the length of the extension bitmaps (we count
  // the additions of a newer version).
  EXPECT_EQ(a->Sent()[0], MessageFromHex(kPeerOpenChannelAck.hex));

  // A-law is not in the dialer's table.
  a->ReceiveHex(kPeerOpenChannelALaw.hex);
  EXPECT_EQ(a->Count(MSCM::response, Response::openLogicalChannelReject), 1u);
}

TEST_F(RealPeer, ItsAckGivesUsItsMediaAddresses) {
  const unsigned n = a->Control().OpenChannel(G711Out(5101));
  asn::Value ack = MessageFromHex(kPeerOpenChannelAck.hex);
  ack.Alternative().Alternative().Field(h245::OpenLogicalChannelAck::forwardLogicalChannelNumber).SetInteger(n);
  a->Receive(ack);
  ASSERT_EQ(a->opened.size(), 1u);
  EXPECT_EQ(a->opened[0].media, Loopback(5000));
  EXPECT_EQ(a->opened[0].control, Loopback(5001));
  // Our request has the peer's own request's shape, but for its transport capability.
  const asn::Value& ours = a->Sent()[0];
  const asn::Value peer = MessageFromHex(kPeerOpenChannel.hex);
  for (const char* path : {"request.openLogicalChannel.forwardLogicalChannelParameters.dataType",
                           "request.openLogicalChannel.forwardLogicalChannelParameters.multiplexParameters."
                           "h2250LogicalChannelParameters.sessionID",
                           "request.openLogicalChannel.forwardLogicalChannelParameters.multiplexParameters."
                           "h2250LogicalChannelParameters.silenceSuppression"}) {
    ASSERT_TRUE(ours.Find(path)) << path;
    EXPECT_EQ(*ours.Find(path), *peer.Find(path)) << path;
  }
}

TEST_F(RealPeer, ItsKeysAndEndAreReported) {
  for (const auto& v : kPeerUserInput) a->ReceiveHex(v.hex);
  EXPECT_EQ(a->input, (std::vector<std::string>{"1", "2", "3", "#", "9"}));
  a->ReceiveHex(kPeerEndSession.hex);
  EXPECT_EQ(a->endSessions, 1);
  // What we send for a key and at the end is what it sends.
  Make();
  a->Control().SendUserInput("9");
  a->Control().SendEndSession();
  ASSERT_EQ(a->Sent().size(), 2u);
  EXPECT_EQ(HexOf(a->Sent()[0]), kPeerUserInput.back().hex);
  EXPECT_EQ(HexOf(a->Sent()[1]), kPeerEndSession.hex);
}

TEST_F(RealPeer, ItsALawSetMatchesOnlyAnALawTable) {
  a->ReceiveHex(kPeerCapabilitySetALaw.hex);
  ASSERT_EQ(a->remote.size(), 1u);
  EXPECT_EQ(a->remote[0].ReceiveAudio().size(), 2u);
  auto common = a->remote[0].FirstCommon(CapabilitiesOf({"G.729A", "G.711-ALaw-64k", "G.711-uLaw-64k"}));
  ASSERT_TRUE(common);
  EXPECT_EQ(common->ours->GetFormatName(), "G.711-ALaw-64k");
  EXPECT_FALSE(a->remote[0].FirstCommon(CapabilitiesOf({"G.729A", "G.723.1A"})));
}

}  // namespace
}  // namespace vantro::test
