// Admission against the test gatekeeper: what the requests carry both ways, refusals, a
// registration the gatekeeper forgot, silence, and a request cut short. (The end-to-end calls are
// admitted for real, direct and routed.)

#include "tests/stack/endpoint/CallsFixture.h"

namespace vantro::test {
namespace {

using A = h225::AdmissionRequest;
using M = h225::RasMessage;

struct TwoEndpoints {
  explicit TwoEndpoints(TestGatekeeper::Script script = {}) : gk(script) {
    Prepare(caller, "5550100", script.password);
    Prepare(callee, "5550200", script.password);
    EXPECT_TRUE(caller.UseGatekeeper(gk.Address()));
    EXPECT_TRUE(callee.UseGatekeeper(gk.Address()));
  }
  Gk& CallerGk() { return *caller.GetGatekeeper(); }
  Gk& CalleeGk() { return *callee.GetGatekeeper(); }

  TestGatekeeper gk;
  H323EndPoint caller;
  H323EndPoint callee;
};

TEST(Admission, TheRequestsSayWhoCallsWhomAndTheConfirmWhereTo) {
  TwoEndpoints ends(Secured(TestGatekeeper::Auth::Unannounced));
  CallInfo out = MakeCallInfo(0x1234, "5550200");
  out.bandwidth = 640;
  const Gk::Admission confirm = Admit(ends.CallerGk(), out);
  ASSERT_EQ(confirm.outcome, Outcome::Confirmed);
  EXPECT_EQ(confirm.destCallSignalAddress, ends.callee.GetListenerAddress());
  EXPECT_EQ(confirm.bandwidth, 640u);
  CallInfo in = MakeCallInfo(0x1234, "5550100", true);
  in.callIdentifier = out.callIdentifier;
  in.conferenceID = out.conferenceID;
  in.srcCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 40000};
  ASSERT_EQ(Admit(ends.CalleeGk(), in).outcome, Outcome::Confirmed);
  CallInfo byAddress = MakeCallInfo(9, "");
  byAddress.destCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 1720};
  EXPECT_EQ(Admit(ends.CallerGk(), byAddress).destCallSignalAddress, byAddress.destCallSignalAddress);

  const auto arqs = ends.gk.MessagesOf(M::admissionRequest);
  ASSERT_EQ(arqs.size(), 3u);
  const asn::Value& first = Body(arqs[0]);
  EXPECT_EQ(asn::AliasText(first[A::destinationInfo].At(0)), "5550200");
  EXPECT_EQ(asn::AliasText(first[A::srcInfo].At(0)), "5550100");
  EXPECT_FALSE(first.Has(A::destCallSignalAddress));
  EXPECT_EQ(first[A::bandWidth].Integer(), 640);
  EXPECT_EQ(first[A::conferenceID].Bytes(), out.conferenceID);
  EXPECT_EQ(Guid(first[A::callIdentifier]), out.callIdentifier);
  EXPECT_EQ(first[A::cryptoTokens].Size(), 2u);  // all three kinds of token, as on the registration
  EXPECT_EQ(first[A::tokens].Size(), 1u);
  // The callee names itself as the destination, and the caller.
  const asn::Value& second = Body(arqs[1]);
  EXPECT_EQ(asn::AliasText(second[A::destinationInfo].At(0)), "5550200");
  EXPECT_EQ(asn::AliasText(second[A::srcInfo].At(0)), "5550100");
  EXPECT_EQ(asn::Ipv4(second[A::destCallSignalAddress]), ends.callee.GetListenerAddress());
  EXPECT_EQ(asn::Ipv4(second[A::srcCallSignalAddress]), in.srcCallSignalAddress);
  EXPECT_EQ(Guid(second[A::callIdentifier]), out.callIdentifier);
  // Calling an address: the address, no alias.
  EXPECT_FALSE(Body(arqs[2]).Has(A::destinationInfo));
  EXPECT_EQ(asn::Ipv4(Body(arqs[2])[A::destCallSignalAddress]), byAddress.destCallSignalAddress);
}

TEST(Admission, ARejectComesBackWithItsReason) {
  TwoEndpoints ends;
  using R = h225::AdmissionRejectReason;
  const Gk::Admission unknown = Admit(ends.CallerGk(), MakeCallInfo(1, "5559999"));
  EXPECT_EQ(unknown.outcome, Outcome::Rejected);
  EXPECT_EQ(unknown.rejectReason, R::calledPartyNotRegistered);
  EXPECT_FALSE(unknown.destCallSignalAddress);
  // One that carries numbers, and one of the extension.
  for (std::uint16_t reason : {R::routeCallToSCN, R::noRouteToDestination}) {
    TestGatekeeper::Script script;
    script.admissionReject = reason;
    ends.gk.SetScript(script);
    const Gk::Admission reject = Admit(ends.CallerGk(), MakeCallInfo(2, "5550200"));
    EXPECT_EQ(reject.outcome, Outcome::Rejected);
    EXPECT_EQ(reject.rejectReason, reason);
  }
}

TEST(Admission, AWrongPasswordIsRefusedAndAStaleRegistrationIsRenewedFirst) {
  auto script = Secured(TestGatekeeper::Auth::Md5);
  TwoEndpoints ends(script);
  script.password = "changed";
  ends.gk.SetScript(script);
  EXPECT_EQ(Admit(ends.CallerGk(), MakeCallInfo(3, "5550200")).rejectReason,
            h225::AdmissionRejectReason::securityDenial);
  EXPECT_EQ(ends.gk.RegistrationRequests(false).size(), 2u);  // no registering again for that

  // The gatekeeper restarted and forgot both (they still think they are registered). Each
  // registers again when refused as not registered and asks once more: the callee is refused
  // then for the caller it looks for, the caller's call goes through.
  script.password = "secret";
  ends.gk.SetScript(script);
  ends.gk.ForgetRegistrations();
  EXPECT_EQ(Admit(ends.CalleeGk(), MakeCallInfo(4, "5550100")).rejectReason,
            h225::AdmissionRejectReason::calledPartyNotRegistered);
  const std::size_t seen = ends.gk.Messages().size();
  EXPECT_EQ(Admit(ends.CallerGk(), MakeCallInfo(5, "5550200")).outcome, Outcome::Confirmed);
  std::vector<std::uint16_t> kinds;
  for (const auto& m : ends.gk.Messages()) kinds.push_back(m.message.Choice());
  EXPECT_EQ(std::vector<std::uint16_t>(kinds.begin() + std::ptrdiff_t(seen), kinds.end()),
            (std::vector<std::uint16_t>{M::admissionRequest, M::registrationRequest, M::admissionRequest}));
  const auto arqs = ends.gk.MessagesOf(M::admissionRequest);
  EXPECT_EQ(Body(arqs.back())[A::endpointIdentifier].Text(), ends.CallerGk().GetEndpointIdentifier());
  EXPECT_NE(Body(arqs.back())[A::requestSeqNum].Integer(), Body(arqs[arqs.size() - 2])[A::requestSeqNum].Integer());

  // Refused when it registers again: not asked at all.
  script.registrationReject = h225::RegistrationRejectReason::securityDenial;
  ends.gk.SetScript(script);
  ASSERT_TRUE(ends.gk.SendUnregistrationRequest(std::nullopt, 2s, TestGatekeeper::Signing::AsScript, "5550100"));
  ASSERT_TRUE(WaitUntil([&] { return ends.CallerGk().GetRegistrationFailReason() == Gk::SecurityDenied; }));
  const std::size_t asked = ends.gk.MessagesOf(M::admissionRequest).size();
  EXPECT_EQ(Admit(ends.CallerGk(), MakeCallInfo(7, "5550200")).outcome, Outcome::NotRegistered);
  EXPECT_EQ(ends.gk.MessagesOf(M::admissionRequest).size(), asked);
}

TEST(Admission, SilenceIsTriedAgainAndUnregisteringEndsARequestAtOnce) {
  TestGatekeeper::Script script;
  script.answerAdmission = false;
  Registered r(script);
  EXPECT_EQ(Admit(r.Gatekeeper(), MakeCallInfo(5, "5550200")).outcome, Outcome::TimedOut);
  auto arqs = r.gk.MessagesOf(M::admissionRequest);
  ASSERT_EQ(arqs.size(), static_cast<std::size_t>(FastTimings().requestTries));
  EXPECT_EQ(Body(arqs[0])[A::requestSeqNum].Integer(), Body(arqs[1])[A::requestSeqNum].Integer());

  auto gatekeeper = r.ep.GetGatekeeper();
  auto done = std::make_shared<std::promise<Gk::Admission>>();
  auto pending = done->get_future();
  gatekeeper->RequestAdmission(MakeCallInfo(1, "5550200"), [done](Gk::Admission a) { done->set_value(std::move(a)); });
  ASSERT_TRUE(r.gk.WaitForMessages(M::admissionRequest, arqs.size() + 1));
  r.ep.RemoveGatekeeper();
  ASSERT_EQ(pending.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(pending.get().outcome, Outcome::Cancelled);
  // Afterwards nothing is asked.
  const std::size_t asked = r.gk.MessagesOf(M::admissionRequest).size();
  const Gk::Admission after = Admit(*gatekeeper, MakeCallInfo(2, "5550200"));
  EXPECT_TRUE(after.outcome == Outcome::NotRegistered || after.outcome == Outcome::Cancelled);
  EXPECT_EQ(r.gk.MessagesOf(M::admissionRequest).size(), asked);
}

}  // namespace
}  // namespace vantro::test
