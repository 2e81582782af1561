// H.245 of a call against a far end whose H.245 is a control of its own, where peers differ from
// our own endpoint (the end-to-end call tests run the usual exchanges): H.245 left unanswered
// while it rings, fast start accepted in Call Proceeding, a call forwarded once.

#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"
#include "stack/asn/generated/H245.h"
#include "stack/h245/H245FastStart.h"
#include "tests/stack/h225/CallHarness.h"

#include <gtest/gtest.h>

namespace vantro::test {
namespace {

namespace h = asn::h225;
using q931::Q931Message;
using E = H323Connection;
using Event = FakeHost::CallEvent;

std::size_t IndexOf(const FakeHost& host, Event event) {
  const auto events = host.Events();
  for (std::size_t i = 0; i < events.size(); ++i)
    if (events[i].first == event) return i;
  return events.size();
}

// Moves tunnelled H.245 both ways until done() holds: what we send goes to the far end's control,
// what it answers goes back in a Facility.
bool PumpTunnelled(SignalPeer& peer, PeerH245& far, h225::H225MessageBuilder& b, const std::function<bool()>& done,
                   std::chrono::milliseconds limit = 5s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (auto m = peer.Receive(30ms)) far.Take(*m);
    const auto replies = far.Replies();
    if (!replies.empty()) {
      h225::H225Message carrier = b.H245Carrier();
      for (const auto& r : replies) carrier.AddH245Control(r);
      peer.Send(carrier);
    }
    if (done()) return true;
  }
  return done();
}

struct CallTo : Outgoing {
  CallTo() { host.settings.capabilities = CapabilitiesOf({"G.711-uLaw-64k"}); }
  PeerH245 far{CapabilitiesOf({"G.711-uLaw-64k"})};
};

TEST_F(CallTo, AFarEndThatLeavesH245UntilItAnswersIsNotClearedWhileItRings) {
  host.settings.fastStartDisabled = true;
  host.settings.timings.h245Timeout = 100ms;
  const auto setup = Dial();
  auto b = PeerBuilder(setup);
  peer.Send(b.Alerting());
  // Our H.245 goes unanswered while it rings, longer than its timeout.
  ASSERT_TRUE(peer.Receive());
  std::this_thread::sleep_for(400ms);
  EXPECT_TRUE(host.EndedCalls().empty());
  peer.Send(b.Connect());
  ASSERT_TRUE(host.WaitFor([&] { return host.Established() == 1; }));
  // After Connect, H.245 begins again, and this time it is answered.
  far.Control().Start();
  ASSERT_TRUE(PumpTunnelled(peer, far, b, [&] { return !far.Peer().ready.empty(); }));
  EXPECT_TRUE(host.EndedCalls().empty());
}

TEST_F(CallTo, FastStartAcceptedInCallProceedingStartsMediaBeforeConnect) {
  const auto setup = Dial();
  const auto proposals = setup.FastStart();
  ASSERT_EQ(proposals.size(), 2u);  // receive and transmit for the one capability
  auto b = PeerBuilder(setup);
  h225::H225Message proceeding = b.CallProceeding();
  const auto answer =
      h245::SelectFastStart(proposals, CapabilitiesOf({"G.711-uLaw-64k"}), {1, Loopback(7000), Loopback(7001)});
  ASSERT_EQ(answer.reply.size(), 2u);
  proceeding.SetFastStart(answer.reply);
  peer.Send(proceeding);
  ASSERT_TRUE(host.WaitFor([&] { return host.media.Channels().size() == 2; }));
  EXPECT_EQ(host.media.Sessions().at(0)->GetRemoteDataAddress(), Loopback(7000));
  EXPECT_FALSE(call->IsEstablished());  // early media: the far end's ringback reaches us before Connect

  peer.Send(b.Alerting());
  peer.Send(b.Connect());
  ASSERT_TRUE(host.WaitFor([&] { return host.Established() == 1; }));
  EXPECT_LT(IndexOf(host, Event::FastStartAccepted), IndexOf(host, Event::Connected));
  EXPECT_LT(IndexOf(host, Event::MediaStarted), IndexOf(host, Event::Connected));
  // H.245 comes after Connect, without opening channels of its own.
  far.Control().Start();
  ASSERT_TRUE(PumpTunnelled(peer, far, b, [&] { return !far.Peer().ready.empty(); }));
  std::this_thread::sleep_for(50ms);
  PumpTunnelled(
      peer, far, b, [] { return false; }, 200ms);
  EXPECT_TRUE(far.Peer().incoming.empty());
  EXPECT_EQ(host.media.Channels().size(), 2u);
}

TEST_F(CallTo, AForwardedCallGoesOnOnceToTheNewAddress) {
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
  EXPECT_TRUE(host.EndedCalls().empty());

  // Forwarded again: that is once too often.
  h225::H225Message twice = PeerBuilder(*again).Facility(h::FacilityReason::callForwarded);
  asn::SetIpv4(*twice.SetBodyField("alternativeAddress"), Loopback(secondPort));
  second.Send(twice);
  ASSERT_TRUE(host.WaitEnded());
  EXPECT_EQ(host.EndedCalls()[0].reason, E::EndedByCallForwarded);
}

}  // namespace
}  // namespace vantro::test
