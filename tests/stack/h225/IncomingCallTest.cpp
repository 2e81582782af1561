// Calls that come to us where the end-to-end calls do not reach.

#include "stack/asn/generated/H225.h"
#include "tests/stack/h225/CallHarness.h"

#include <gtest/gtest.h>

namespace vantro::test {
namespace {

namespace h = asn::h225;
using q931::Q931Message;
using E = H323Connection;

const std::string kCallId(16, 'i');

h225::H225Message SetupFromCaller() {
  h225::H225MessageBuilder::SetupFields f;
  f.sourceAlias = "5550300";
  f.destinationAlias = "5550100";
  f.sourceCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 41000};
  return h225::H225MessageBuilder({0x0222, true, kCallId, std::string(16, 'c')}).Setup(f);
}

// Not registered, or rejected by our gatekeeper, the call never becomes one (it is withdrawn); an
// answer denied ends one after Call Proceeding.
TEST(Incoming, RefusedCallsSayWhy) {
  const struct {
    const char* what;
    std::optional<Admission::Outcome> admission;
    FakeHost::AnswerCallResponse answer;
    std::uint16_t reason;
    unsigned cause;
  } rows[] = {
      {"not registered", std::nullopt, FakeHost::AnswerCallNow, h::ReleaseCompleteReason::securityDenied, 21},
      {"rejected", Admission::Outcome::Rejected, FakeHost::AnswerCallNow, h::ReleaseCompleteReason::gatekeeperResources,
       21},
      {"answer denied", Admission::Outcome::Confirmed, FakeHost::AnswerCallDenied,
       h::ReleaseCompleteReason::destinationRejection, 21},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    FakeHost host;
    if (row.admission) {
      host.settings.registered = true;
      host.admit = [&](const CallInfo&) {
        Admission a;
        a.outcome = *row.admission;
        a.destCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 1720};
        a.rejectReason = h::AdmissionRejectReason::requestDenied;
        return a;
      };
    }
    host.answer = row.answer;
    SignalPeer peer;
    ASSERT_TRUE(peer.Connect(host.Listen()));
    peer.Send(SetupFromCaller());
    auto first = peer.Receive();
    ASSERT_TRUE(first);
    const bool answered = row.answer == FakeHost::AnswerCallDenied;
    EXPECT_EQ(first->Type(), answered ? Q931Message::CallProceeding : Q931Message::ReleaseComplete);
    auto rc = answered ? peer.ReceiveType(Q931Message::ReleaseComplete) : first;
    ASSERT_TRUE(rc);
    EXPECT_TRUE(rc->Q931().FromDestination());
    EXPECT_EQ(rc->CallReference(), 0x0222);
    EXPECT_TRUE(rc->BodyField("reason")->Is(row.reason));
    EXPECT_EQ(rc->Q931().Cause()->value, row.cause);
    EXPECT_TRUE(peer.WaitClosed());
    ASSERT_TRUE(
        host.WaitFor([&](const FakeHost::Log& l) { return l.withdrawn == !answered && l.ended.size() == answered; }));
    const auto seen = host.Seen();
    EXPECT_EQ(seen.disengaged.size(), answered ? 1u : 0u);  // only an admitted call disengages
    if (answered) {
      EXPECT_EQ(seen.ended[0].reason, E::EndedByAnswerDenied);
    } else {
      EXPECT_EQ(seen.events.size(), 0u);
    }
    ASSERT_EQ(seen.admissions.size(), row.admission ? 1u : 0u);
    if (row.admission) {  // the request said who calls and that we answer
      EXPECT_TRUE(seen.admissions[0].answerCall);
      EXPECT_EQ(seen.admissions[0].callIdentifier, kCallId);
      EXPECT_EQ(seen.admissions[0].sourceAlias, "5550300");
      EXPECT_EQ(seen.admissions[0].srcCallSignalAddress->port, 41000);
    }
  }
}

}  // namespace
}  // namespace vantro::test
