// A call we place, against a far end the test plays message by message where it differs from our
// own endpoint (the end-to-end calls run the usual exchanges).

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

// A far end that sends what we cannot use (NUL-ended texts, keys in Q.931, messages of no use or
// of another call, junk) and asks how the call stands.
TEST_F(Outgoing, WhatWeCannotUseIsIgnoredAndStatusEnquiryAnswered) {
  const auto setup = Dial();
  EXPECT_TRUE(host.Seen().admissions.empty());  // not registered: no admission
  auto b = PeerBuilder(setup);
  peer.Send(b.CallProceeding());
  h225::H225Message alerting = b.Alerting();
  alerting.Q931().SetDisplay(std::string("Bob\0", 4));  // some peers end it with a NUL
  peer.Send(alerting);
  peer.Send(b.Connect());
  ASSERT_TRUE(host.WaitFor([](const FakeHost::Log& l) { return l.established == 1; }));
  EXPECT_EQ(host.Seen().alerts, std::vector<std::string>{"Bob"});
  // Without fast start, H.245 starts with the first answer that says the far end tunnels.
  EXPECT_EQ(host.Seen().events, (std::vector<Event>{Event::SetupSent, Event::Proceeding, Event::H245Connected,
                                                    Event::Alerting, Event::Connected}));
  peer.Send(b.StatusEnquiry());
  auto status = peer.ReceiveType(Q931Message::Status);
  ASSERT_TRUE(status);
  EXPECT_EQ(status->Q931().Cause()->value, 30);
  EXPECT_EQ(status->Q931().Find(0x14)->contents[0], 10);  // active

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

// The timers that give up on a far end gone quiet at each stage, and one that goes away; a live
// far end keeps its call.
TEST(OutgoingEnds, AFarEndThatFallsSilentOrGoesAwayEndsTheCall) {
  const struct {
    const char* stage;
    void (*farEnd)(SignalPeer&, Builder&, const FakeHost&);
    E::CallEndReason reason;
    int cause;  // of the Release Complete we send: 0 any, -1 none looked for
  } rows[] = {
      {"Setup unanswered", [](SignalPeer&, Builder&, const FakeHost&) {}, E::EndedByTransportFail, 0},
      {"ringing unanswered", [](SignalPeer& p, Builder& b, const FakeHost&) { p.Send(b.Alerting()); },
       E::EndedByNoAnswer, 19},
      {"established, then silent",
       [](SignalPeer& p, Builder& b, const FakeHost& host) {
         p.Send(b.Connect());
         for (int i = 0; i < 2; ++i) {
           ASSERT_TRUE(p.ReceiveType(Q931Message::StatusEnquiry));
           p.Send(b.Status(Builder::Active, 30));
         }
         EXPECT_TRUE(host.Seen().ended.empty());
       },
       E::EndedByTransportFail, -1},
      {"reset when established",
       [](SignalPeer& p, Builder& b, const FakeHost& host) {
         p.Send(b.Connect());
         ASSERT_TRUE(host.WaitFor([](const FakeHost::Log& l) { return l.established == 1; }));
         p.Reset();
       },
       E::EndedByTransportFail, -1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.stage);
    FakeHost host;
    SignalPeer peer;
    host.settings.tunnelingDisabled = true;  // no H.245 that would time out first
    host.settings.timings.setupAnswerTimeout = host.settings.timings.ringingTimeout = 150ms;
    host.settings.timings.statusEnquiryInterval = 100ms;
    host.settings.timings.h245Timeout = 200ms;  // also how long a Status may take
    auto b = PeerBuilder(Dial(host, peer));
    row.farEnd(peer, b, host);
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
