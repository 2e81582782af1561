// A call we place, against a far end the test plays message by message where it differs from our
// own endpoint (the end-to-end calls run the usual exchanges): what it sends that we cannot use,
// how it goes away, the timers that end a call whose far end goes quiet, H.245 left unanswered
// while it rings, and forwarding.

#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"
#include "stack/asn/generated/H245.h"
#include "tests/stack/h225/CallHarness.h"

#include <gtest/gtest.h>

namespace vantro::test {
namespace {

namespace h = asn::h225;
using q931::Q931Message;
using E = H323Connection;
using Event = FakeHost::CallEvent;
using Builder = h225::H225MessageBuilder;

bool Established(const FakeHost::Log& l) { return l.established == 1; }

TEST_F(Outgoing, RingsAndConnectsInTheOrderTheWindowShows) {
  const auto setup = Dial();
  EXPECT_TRUE(host.Seen().admissions.empty());  // not registered: no admission
  EXPECT_EQ(asn::AliasText(setup.Body()[h::Setup_UUIE::destinationAddress].At(0)), "5550200");
  auto b = PeerBuilder(setup);
  peer.Send(b.CallProceeding());
  h225::H225Message alerting = b.Alerting();
  alerting.Q931().SetDisplay(std::string("Bob\0", 4));  // some peers end it with a NUL
  peer.Send(alerting);
  peer.Send(b.Connect());
  ASSERT_TRUE(host.WaitFor(Established));
  EXPECT_EQ(host.Seen().alerts, std::vector<std::string>{"Bob"});
  EXPECT_EQ(call->GetRemotePartyName(), "Bob");
  call->ClearCall();
  ASSERT_TRUE(host.WaitEnded());
  // Without fast start, H.245 starts with the first answer that says the far end tunnels.
  const std::vector<Event> expected = {Event::SetupSent, Event::Proceeding, Event::H245Connected, Event::Alerting,
                                       Event::Connected, Event::Clearing,   Event::Cleared};
  EXPECT_EQ(host.Seen().events, expected);
}

TEST_F(Outgoing, AFarEndThatResetsTheConnectionEndsTheCall) {
  const auto setup = Dial();
  peer.Send(PeerBuilder(setup).Connect());
  ASSERT_TRUE(host.WaitFor(Established));
  peer.Reset();
  ASSERT_TRUE(host.WaitEnded());
  EXPECT_EQ(host.Seen().ended[0].reason, E::EndedByTransportFail);
}

TEST_F(Outgoing, StatusEnquiryIsAnsweredAndWhatWeCannotUseIsIgnored) {
  const auto setup = Dial();
  auto b = PeerBuilder(setup);
  peer.Send(b.Connect());
  ASSERT_TRUE(host.WaitFor(Established));
  peer.Send(b.StatusEnquiry());
  auto status = peer.ReceiveType(Q931Message::Status);
  ASSERT_TRUE(status);
  EXPECT_EQ(status->Q931().Cause()->value, 30);
  EXPECT_EQ(status->Q931().Find(0x14)->contents[0], 10);  // active

  // Information and Notify, a message of another call, one without a usable UUIE, junk inside a
  // TPKT, and a message type nobody knows.
  h225::H225Message info(Q931Message::Information, setup.CallReference(), true,
                         h::H323_UU_PDU_h323_message_body::information);
  peer.Send(info);
  info.Q931().SetKeypad(std::string("7\0", 2));  // keys of a far end without H.245, as one sends them
  peer.Send(info);
  peer.Send(
      h225::H225Message(Q931Message::Notify, setup.CallReference(), true, h::H323_UU_PDU_h323_message_body::notify));
  Builder other(
      {static_cast<std::uint16_t>(setup.CallReference() ^ 0x55), false, setup.CallIdentifier(), std::string(16, 'c')});
  peer.Send(other.ReleaseComplete(std::nullopt, 16));
  Q931Message broken(Q931Message::Facility, setup.CallReference(), true);
  broken.SetUserUser(std::vector<std::uint8_t>{0x10, 0xff, 0xff});
  peer.SendPayload(broken.Encode());
  peer.SendPayload({0x08, 0x02, 0x00});
  peer.SendPayload(Q931Message(0x44, setup.CallReference(), true).Encode());
  auto unknown = peer.ReceiveType(Q931Message::Status);
  ASSERT_TRUE(unknown);
  EXPECT_EQ(unknown->Q931().Cause()->value, 97);
  std::this_thread::sleep_for(50ms);
  EXPECT_TRUE(host.Seen().ended.empty());
  EXPECT_TRUE(call->IsEstablished());
  EXPECT_EQ(host.Seen().input, std::vector<std::string>{"7"});
}

// The timers that give up on a far end gone quiet at each stage; a live far end keeps its call.
TEST(OutgoingTimers, AFarEndThatFallsSilentIsGivenUp) {
  struct Row {
    const char* stage;
    void (*set)(endpoint::CallSettings&);
    void (*farEnd)(SignalPeer&, Builder&);
    E::CallEndReason reason;
    int cause;  // of the Release Complete we send: 0 any, -1 none looked for
  };
  const Row rows[] = {
      {"Setup unanswered", [](endpoint::CallSettings& s) { s.timings.setupAnswerTimeout = 150ms; },
       [](SignalPeer&, Builder&) {}, E::EndedByTransportFail, 0},
      {"ringing unanswered", [](endpoint::CallSettings& s) { s.timings.ringingTimeout = 150ms; },
       [](SignalPeer& p, Builder& b) { p.Send(b.Alerting()); }, E::EndedByNoAnswer, 19},
      {"established, then silent",
       [](endpoint::CallSettings& s) {
         s.tunnelingDisabled = true;  // no H.245 that would time out first
         s.timings.statusEnquiryInterval = 100ms;
         s.timings.h245Timeout = 200ms;
       },
       [](SignalPeer& p, Builder& b) {
         p.Send(b.Connect());
         for (int i = 0; i < 2; ++i) {
           ASSERT_TRUE(p.ReceiveType(Q931Message::StatusEnquiry));
           p.Send(b.Status(Builder::Active, 30));
         }
       },
       E::EndedByTransportFail, -1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.stage);
    FakeHost host;
    SignalPeer peer;
    row.set(host.settings);
    const auto port = peer.Listen();
    host.Call("5550200@127.0.0.1:" + std::to_string(port));
    ASSERT_TRUE(peer.Accept());
    auto setup = peer.Receive();
    ASSERT_TRUE(setup);
    auto b = PeerBuilder(*setup);
    row.farEnd(peer, b);
    EXPECT_TRUE(host.Seen().ended.empty());
    ASSERT_TRUE(host.WaitEnded(1, 3s));
    EXPECT_EQ(host.Seen().ended[0].reason, row.reason);
    if (row.cause < 0) continue;
    auto rc = peer.ReceiveType(Q931Message::ReleaseComplete);
    ASSERT_TRUE(rc);
    if (row.cause > 0) {
      EXPECT_EQ(rc->Q931().Cause()->value, row.cause);
    }
  }
}

TEST_F(Outgoing, PartiesThatCannotBeCalledEndAtOnce) {
  asio::io_context io;
  asio::ip::tcp::acceptor a(io, {asio::ip::address_v4::loopback(), 0});
  const std::string closed = "127.0.0.1:" + std::to_string(a.local_endpoint().port());
  a.close();
  const std::pair<std::string, E::CallEndReason> rows[] = {
      {closed, E::EndedByNoEndPoint}, {"bad party@", E::EndedByNoUser}, {"5550200@", E::EndedByGatekeeper}};
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    host.Call(rows[i].first);
    ASSERT_TRUE(host.WaitEnded(i + 1));
    EXPECT_EQ(host.Seen().ended[i].reason, rows[i].second) << rows[i].first;
    EXPECT_FALSE(host.Seen().ended[i].cause) << rows[i].first;
  }
}

// Whether a tunnelled H.245 message of a kind is in the message.
bool Tunnels(const h225::H225Message& m, std::uint16_t request) {
  for (const auto& bytes : m.H245Control())
    if (auto v = asn::Decode(asn::h245::MultimediaSystemControlMessage::Id, bytes);
        v && v->Choice() == 0 && v->Alternative().Choice() == request)
      return true;
  return false;
}

TEST_F(Outgoing, H245LeftUnansweredWhileItRingsBeginsAgainWithConnect) {
  host.settings.capabilities = CapabilitiesOf({"G.711-uLaw-64k"});
  host.settings.fastStartDisabled = true;
  host.settings.timings.h245Timeout = 100ms;
  const auto setup = Dial();
  auto b = PeerBuilder(setup);
  peer.Send(b.Alerting());
  ASSERT_TRUE(peer.Receive());  // our capabilities, never answered
  std::this_thread::sleep_for(400ms);
  EXPECT_TRUE(host.Seen().ended.empty());
  peer.Send(b.Connect());
  std::optional<h225::H225Message> again;
  while ((again = peer.Receive()) && !Tunnels(*again, asn::h245::RequestMessage::terminalCapabilitySet)) {
  }
  EXPECT_TRUE(again);
  EXPECT_TRUE(host.Seen().ended.empty());
}

TEST_F(Outgoing, AForwardedCallGoesOnOnceToTheNewAddress) {
  host.settings.fastStartDisabled = true;
  const auto setup = Dial();
  SignalPeer second;
  const auto secondPort = second.Listen();
  h225::H225Message facility = PeerBuilder(setup).Facility(h::FacilityReason::callForwarded);
  asn::SetIpv4(*facility.SetBodyField("alternativeAddress"), Loopback(secondPort));
  asn::SetAlias(facility.SetBodyField("alternativeAliasAddress")->Append(), "5550999");
  peer.Send(facility);
  auto rc = peer.ReceiveType(Q931Message::ReleaseComplete);
  ASSERT_TRUE(rc);
  EXPECT_TRUE(rc->BodyField("reason")->Is(h::ReleaseCompleteReason::facilityCallDeflection));
  ASSERT_TRUE(second.Accept());
  auto again = second.Receive();
  ASSERT_TRUE(again);
  EXPECT_EQ(again->Type(), Q931Message::Setup);
  EXPECT_EQ(asn::AliasText(again->Body()[h::Setup_UUIE::destinationAddress].At(0)), "5550999");
  EXPECT_EQ(again->CallIdentifier(), setup.CallIdentifier());  // the same call
  EXPECT_TRUE(host.Seen().ended.empty());

  // Forwarded again: that is once too often.
  h225::H225Message twice = PeerBuilder(*again).Facility(h::FacilityReason::callForwarded);
  asn::SetIpv4(*twice.SetBodyField("alternativeAddress"), Loopback(secondPort));
  second.Send(twice);
  ASSERT_TRUE(host.WaitEnded());
  EXPECT_EQ(host.Seen().ended[0].reason, E::EndedByCallForwarded);
}

}  // namespace
}  // namespace vantro::test
