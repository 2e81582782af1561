// Calls that come to us where the end-to-end calls do not reach: refused before they become calls
// (not registered, rejected by our gatekeeper), an answer denied, fast start chosen by our table
// order or refused, and connections that bring no Setup.

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
using Names = std::vector<std::string>;

const std::string kCallId(16, 'i');

h225::H225MessageBuilder Caller() { return h225::H225MessageBuilder({0x0222, true, kCallId, std::string(16, 'c')}); }

h225::H225Message SetupFromCaller(const Names& fastStart = {}) {
  h225::H225MessageBuilder::SetupFields f;
  f.sourceAlias = "5550300";
  f.destinationAlias = "5550100";
  f.sourceCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 41000};
  h225::H225Message setup = Caller().Setup(f);
  if (!fastStart.empty())
    setup.SetFastStart(h245::BuildFastStartProposals(CapabilitiesOf(fastStart), {1, Loopback(6000), Loopback(6001)}));
  return setup;
}

Admission Outcome(Admission::Outcome outcome) {
  Admission a;
  a.outcome = outcome;
  a.destCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 1720};
  a.rejectReason = h::AdmissionRejectReason::requestDenied;
  return a;
}

struct Incoming : ::testing::Test {
  Incoming() { port = host.Listen(); }
  void Register(Admission::Outcome outcome = Admission::Outcome::Confirmed) {
    host.settings.registered = true;
    host.admit = [outcome](const CallInfo&) { return Outcome(outcome); };
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
  ASSERT_TRUE(host.WaitFor([](const FakeHost::Log& l) { return l.withdrawn == 1; }));
  const auto seen = host.Seen();
  EXPECT_TRUE(seen.events.empty());
  EXPECT_TRUE(seen.ended.empty());
  EXPECT_TRUE(seen.admissions.empty());
}

TEST_F(Incoming, TheGatekeepersRejectRefusesIt) {
  Register(Admission::Outcome::Rejected);
  ASSERT_TRUE(Ring());
  auto rc = peer.Receive();
  ASSERT_TRUE(rc);
  EXPECT_EQ(rc->Type(), Q931Message::ReleaseComplete);
  ASSERT_TRUE(host.WaitFor([](const FakeHost::Log& l) { return l.withdrawn == 1; }));
  const auto seen = host.Seen();
  EXPECT_TRUE(seen.disengaged.empty());
  EXPECT_TRUE(seen.ended.empty());
  // The request said who calls and that we answer.
  const auto arq = seen.admissions.at(0);
  EXPECT_TRUE(arq.answerCall);
  EXPECT_EQ(arq.callIdentifier, kCallId);
  EXPECT_EQ(arq.sourceAlias, "5550300");
  EXPECT_EQ(arq.srcCallSignalAddress->port, 41000);
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
  EXPECT_EQ(host.Seen().ended[0].reason, E::EndedByAnswerDenied);
  EXPECT_EQ(host.Seen().disengaged.size(), 1u);
}

// The caller's proposals are taken by our table's order, not theirs, and answered in the first
// answer; with nothing in common, fast start is refused there.
TEST(IncomingFastStart, IsChosenByOurTableOrderOrRefused) {
  const struct {
    Names ours, theirs;
    const char* chosen;
  } rows[] = {{{"G.711-ALaw-64k", "G.711-uLaw-64k"}, {"G.711-uLaw-64k", "G.711-ALaw-64k"}, "G.711-ALaw-64k"},
              {{"G.729A"}, {"G.711-uLaw-64k"}, nullptr}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.ours[0]);
    FakeHost host;
    host.settings.registered = true;
    host.admit = [](const CallInfo&) { return Outcome(Admission::Outcome::Confirmed); };
    host.settings.capabilities = CapabilitiesOf(row.ours);
    SignalPeer peer;
    ASSERT_TRUE(peer.Connect(host.Listen()));
    peer.Send(SetupFromCaller(row.theirs));
    auto proceeding = peer.Receive();
    ASSERT_TRUE(proceeding);
    EXPECT_EQ(proceeding->Type(), Q931Message::CallProceeding);
    EXPECT_EQ(proceeding->FastConnectRefused(), !row.chosen);
    const auto chosen = h245::ReadFastStartAnswer(proceeding->FastStart(), CapabilitiesOf(row.theirs));
    ASSERT_EQ(chosen.size(), row.chosen ? 2u : 0u);
    for (const auto& c : chosen) EXPECT_EQ(c.capability->GetFormatName(), row.chosen);
    ASSERT_TRUE(host.WaitFor([&](const FakeHost::Log& l) {
      return l.Has(row.chosen ? Event::FastStartAccepted : Event::FastStartRefused);
    }));
    if (!row.chosen) {
      EXPECT_TRUE(host.media.Channels().empty());
      continue;
    }
    ASSERT_TRUE(peer.ReceiveType(Q931Message::Connect));
    ASSERT_TRUE(host.WaitFor([](const FakeHost::Log& l) { return l.established == 1; }));
    const auto channels = host.media.Channels();
    ASSERT_EQ(channels.size(), 2u);
    for (const auto& c : channels) EXPECT_EQ(c.format, row.chosen);
    // Where we send: the caller's receive proposal's address.
    EXPECT_EQ(host.media.Sessions().at(0)->GetRemoteDataAddress(), Loopback(6000));
  }
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
  ASSERT_TRUE(Ring());
  EXPECT_TRUE(peer.ReceiveType(Q931Message::Connect));
}

}  // namespace
}  // namespace vantro::test
