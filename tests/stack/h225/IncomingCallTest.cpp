// Calls that come to us: admitted by our gatekeeper or refused (not registered, rejected), the
// answer policy, fast start chosen from the caller's proposals, H.245 as the caller asks, and what
// the listener does with connections that bring no Setup.

#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"
#include "stack/h245/H245FastStart.h"
#include "tests/stack/h225/CallHarness.h"

#include <gtest/gtest.h>

namespace vantro::test {
namespace {

namespace h = asn::h225;
using q931::Q931Message;
using E = H323Connection;
using Event = FakeHost::CallEvent;

const std::string kCallId(16, 'i');
const std::string kConfId(16, 'c');

h225::H225MessageBuilder Caller(std::uint16_t reference = 0x0222) {
  return h225::H225MessageBuilder({reference, true, kCallId, kConfId});
}

h225::H225Message SetupFromCaller(bool tunnelling = true) {
  auto b = Caller();
  b.SetTunnelling(tunnelling);
  h225::H225MessageBuilder::SetupFields f;
  f.sourceAlias = "5550300";
  f.destinationAlias = "5550100";
  f.sourceCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 41000};
  return b.Setup(f);
}

Admission Confirmed(const CallInfo&) {
  Admission a;
  a.outcome = Admission::Outcome::Confirmed;
  a.destCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 1720};
  return a;
}

struct Incoming : ::testing::Test {
  Incoming() { port = host.Listen(); }
  void Register() {
    host.settings.registered = true;
    host.admit = Confirmed;
  }
  // Connects to our listener as the caller and sends its Setup.
  bool Ring(const h225::H225Message& setup = SetupFromCaller()) {
    if (!peer.Connect(port)) return false;
    peer.Send(setup);
    return true;
  }
  FakeHost host;
  std::uint16_t port = 0;
  SignalPeer peer;
};

TEST_F(Incoming, NotRegisteredTheCallIsRefusedAndNeverBecomesACall) {
  ASSERT_TRUE(Ring());
  auto rc = peer.Receive();
  ASSERT_TRUE(rc);
  EXPECT_EQ(rc->Type(), Q931Message::ReleaseComplete);
  EXPECT_TRUE(rc->Q931().FromDestination());
  EXPECT_EQ(rc->CallReference(), 0x0222);
  EXPECT_TRUE(rc->BodyField("reason")->Is(h::ReleaseCompleteReason::securityDenied));
  EXPECT_EQ(rc->Q931().Cause()->value, 21);
  EXPECT_TRUE(peer.WaitClosed());
  ASSERT_TRUE(host.WaitFor([&] { return host.Withdrawn() == 1; }));
  EXPECT_TRUE(host.Events().empty());
  EXPECT_TRUE(host.EndedCalls().empty());
  EXPECT_TRUE(host.AdmissionRequests().empty());
  EXPECT_EQ(host.InTable(), 0u);
}

TEST_F(Incoming, TheGatekeepersRejectRefusesIt) {
  host.settings.registered = true;
  host.admit = [](const CallInfo&) {
    Admission a;
    a.outcome = Admission::Outcome::Rejected;
    a.rejectReason = h::AdmissionRejectReason::requestDenied;
    return a;
  };
  ASSERT_TRUE(Ring());
  auto rc = peer.Receive();
  ASSERT_TRUE(rc);
  EXPECT_EQ(rc->Type(), Q931Message::ReleaseComplete);
  ASSERT_TRUE(host.WaitFor([&] { return host.Withdrawn() == 1; }));
  EXPECT_TRUE(host.Disengaged().empty());
  EXPECT_TRUE(host.EndedCalls().empty());
  // The request said who calls and that we answer.
  const auto arq = host.AdmissionRequests().at(0);
  EXPECT_TRUE(arq.answerCall);
  EXPECT_EQ(arq.callIdentifier, kCallId);
  EXPECT_EQ(arq.conferenceID, kConfId);
  EXPECT_EQ(arq.sourceAlias, "5550300");
  EXPECT_EQ(arq.destinationAlias, "5550100");
  EXPECT_EQ(arq.srcCallSignalAddress->port, 41000);
}

TEST_F(Incoming, AnAdmittedCallIsAnsweredAtOnceWithH245InConnect) {
  Register();
  ASSERT_TRUE(Ring());
  auto proceeding = peer.Receive();
  ASSERT_TRUE(proceeding);
  EXPECT_EQ(proceeding->Type(), Q931Message::CallProceeding);
  EXPECT_TRUE(proceeding->Q931().FromDestination());
  auto connect = peer.Receive();
  ASSERT_TRUE(connect);
  EXPECT_EQ(connect->Type(), Q931Message::Connect);
  EXPECT_EQ(connect->Tunnelling(), true);
  EXPECT_EQ(connect->H245ControlCount(), 2u);  // capability set and master/slave determination
  EXPECT_EQ(connect->CallIdentifier(), kCallId);
  ASSERT_TRUE(host.WaitFor([&] { return host.Established() == 1; }));

  auto b = Caller();
  peer.Send(b.ReleaseComplete(std::nullopt, 16));
  ASSERT_TRUE(host.WaitEnded());
  EXPECT_EQ(host.EndedCalls()[0].reason, E::EndedByRemoteUser);
  EXPECT_EQ(host.EndedCalls()[0].cause, 16u);
  ASSERT_EQ(host.Disengaged().size(), 1u);
  EXPECT_EQ(host.Disengaged()[0].callIdentifier, kCallId);
  EXPECT_EQ(host.Disengaged()[0].releaseCause, 16);
  std::vector<Event> order;
  for (const auto& [e, detail] : host.Events()) order.push_back(e);
  const std::vector<Event> expected = {Event::SetupReceived, Event::Admitted, Event::H245Connected,
                                       Event::Connected,     Event::Clearing, Event::Cleared};
  EXPECT_EQ(order, expected);
  EXPECT_EQ(host.Withdrawn(), 0);
}

TEST_F(Incoming, WithoutAGatekeeperAToolMayAllowUnadmittedCalls) {
  host.settings.acceptUnadmittedCalls = true;
  ASSERT_TRUE(Ring());
  ASSERT_TRUE(peer.ReceiveType(Q931Message::Connect));
  ASSERT_TRUE(host.WaitFor([&] { return host.Established() == 1; }));
  EXPECT_TRUE(host.AdmissionRequests().empty());
}

TEST_F(Incoming, AnAnswerDeniedIsRefusedAfterCallProceeding) {
  Register();
  host.answer = FakeHost::AnswerCallDenied;
  ASSERT_TRUE(Ring());
  ASSERT_TRUE(peer.ReceiveType(Q931Message::CallProceeding));
  auto rc = peer.ReceiveType(Q931Message::ReleaseComplete);
  ASSERT_TRUE(rc);
  EXPECT_TRUE(rc->BodyField("reason")->Is(h::ReleaseCompleteReason::destinationRejection));
  ASSERT_TRUE(host.WaitEnded());
  EXPECT_EQ(host.EndedCalls()[0].reason, E::EndedByAnswerDenied);
  EXPECT_EQ(host.Disengaged().size(), 1u);
}

TEST_F(Incoming, FastStartIsChosenByOurTableOrderAndReturnedInTheFirstAnswer) {
  Register();
  host.settings.capabilities = CapabilitiesOf({"G.711-ALaw-64k", "G.711-uLaw-64k"});
  // The caller proposes µ-law first, then A-law: we take A-law, first in our table.
  h225::H225Message setup = SetupFromCaller();
  setup.SetFastStart(h245::BuildFastStartProposals(CapabilitiesOf({"G.711-uLaw-64k", "G.711-ALaw-64k"}),
                                                   {1, Loopback(6000), Loopback(6001)}));
  ASSERT_TRUE(Ring(setup));
  auto proceeding = peer.Receive();
  ASSERT_TRUE(proceeding);
  EXPECT_EQ(proceeding->Type(), Q931Message::CallProceeding);
  const auto answer = proceeding->FastStart();
  ASSERT_EQ(answer.size(), 2u);
  const auto chosen = h245::ReadFastStartAnswer(answer, CapabilitiesOf({"G.711-uLaw-64k", "G.711-ALaw-64k"}));
  ASSERT_EQ(chosen.size(), 2u);
  for (const auto& c : chosen) EXPECT_EQ(c.capability->GetFormatName(), "G.711-ALaw-64k");
  ASSERT_TRUE(peer.ReceiveType(Q931Message::Connect));
  ASSERT_TRUE(host.WaitFor([&] { return host.Established() == 1; }));
  const auto channels = host.media.Channels();
  ASSERT_EQ(channels.size(), 2u);
  for (const auto& c : channels) EXPECT_EQ(c.format, "G.711-ALaw-64k");
  // Where we send: the caller's receive proposal's address.
  EXPECT_EQ(host.media.Sessions().at(0)->GetRemoteDataAddress(), Loopback(6000));
  EXPECT_TRUE(host.HasEvent(Event::FastStartAccepted));
}

TEST_F(Incoming, FastStartWithNothingInCommonIsRefused) {
  Register();
  host.settings.capabilities = CapabilitiesOf({"G.729A"});
  h225::H225Message setup = SetupFromCaller();
  setup.SetFastStart(
      h245::BuildFastStartProposals(CapabilitiesOf({"G.711-uLaw-64k"}), {1, Loopback(6000), Loopback(6001)}));
  ASSERT_TRUE(Ring(setup));
  auto proceeding = peer.Receive();
  ASSERT_TRUE(proceeding);
  EXPECT_TRUE(proceeding->FastStart().empty());
  EXPECT_TRUE(proceeding->FastConnectRefused());
  EXPECT_TRUE(host.HasEvent(Event::FastStartRefused) ||
              host.WaitFor([&] { return host.HasEvent(Event::FastStartRefused); }));
  EXPECT_TRUE(host.media.Channels().empty());
}

TEST_F(Incoming, ConnectionsWithoutASetupAreClosedAndCallsStillCome) {
  Register();
  // Junk, a message that is no Setup, and silence.
  SignalPeer junk, other, silent;
  ASSERT_TRUE(junk.Connect(port));
  junk.SendRaw({'G', 'E', 'T', ' ', '/', '\r', '\n'});
  EXPECT_TRUE(junk.WaitClosed());
  ASSERT_TRUE(other.Connect(port));
  other.Send(Caller().ReleaseComplete(std::nullopt, 16));
  EXPECT_TRUE(other.WaitClosed());
  ASSERT_TRUE(silent.Connect(port));
  EXPECT_FALSE(silent.WaitClosed(50ms));  // silence is given its time
  EXPECT_TRUE(silent.WaitClosed(host.settings.timings.idleConnectionTimeout + 2s));
  // A call still comes in.
  ASSERT_TRUE(Ring());
  EXPECT_TRUE(peer.ReceiveType(Q931Message::Connect));
}

}  // namespace
}  // namespace vantro::test
