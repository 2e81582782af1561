// Admission of calls against the test gatekeeper: what the request carries, where the confirm
// sends the call (the callee in direct mode, the gatekeeper when it routes), each kind of reject,
// silence and retries, and requests the endpoint cannot make.

#include "tests/stack/endpoint/CallsFixture.h"

#include <thread>

namespace vantro::test {
namespace {

using A = h225::AdmissionRequest;

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

TEST(Admission, DirectModeSendsTheCallToTheCalleeAndTheRequestsSayWhoCallsWhom) {
  TwoEndpoints ends;
  CallInfo out = MakeCallInfo(0x1234, "5550200");
  out.bandwidth = 640;
  const Gk::Admission confirm = Admit(ends.CallerGk(), out);
  ASSERT_EQ(confirm.outcome, Outcome::Confirmed);
  EXPECT_FALSE(confirm.gatekeeperRouted);
  EXPECT_EQ(confirm.destCallSignalAddress, ends.callee.GetListenerAddress());
  EXPECT_EQ(confirm.bandwidth, 640u);
  EXPECT_EQ(confirm.destinationAliases, std::vector<std::string>{"5550200"});
  EXPECT_TRUE(confirm.confirm.Is(h225::RasMessage::admissionConfirm));

  // The callee asks too, naming the caller.
  CallInfo in = MakeCallInfo(0x1234, "5550100", true);
  in.callIdentifier = out.callIdentifier;
  in.conferenceID = out.conferenceID;
  in.srcCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 40000};
  const Gk::Admission answer = Admit(ends.CalleeGk(), in);
  ASSERT_EQ(answer.outcome, Outcome::Confirmed);
  EXPECT_EQ(answer.destCallSignalAddress, ends.callee.GetListenerAddress());

  const auto arqs = ends.gk.MessagesOf(h225::RasMessage::admissionRequest);
  ASSERT_EQ(arqs.size(), 2u);
  const asn::Value& first = Body(arqs[0]);
  EXPECT_EQ(first[A::endpointIdentifier].Text(), ends.CallerGk().GetEndpointIdentifier());
  EXPECT_EQ(first[A::gatekeeperIdentifier].Text(), "TestGk");
  EXPECT_TRUE(first[A::callType].Is(h225::CallType::pointToPoint));
  EXPECT_EQ(asn::AliasText(first[A::destinationInfo].At(0)), "5550200");
  EXPECT_EQ(asn::AliasText(first[A::srcInfo].At(0)), "5550100");
  EXPECT_FALSE(first.Has(A::destCallSignalAddress));
  EXPECT_EQ(first[A::bandWidth].Integer(), 640);
  EXPECT_EQ(first[A::callReferenceValue].Integer(), 0x1234);
  EXPECT_EQ(first[A::conferenceID].Bytes(), out.conferenceID);
  EXPECT_EQ(Guid(first[A::callIdentifier]), out.callIdentifier);
  EXPECT_FALSE(first[A::answerCall].Boolean());
  EXPECT_FALSE(first[A::activeMC].Boolean());

  const asn::Value& second = Body(arqs[1]);
  EXPECT_TRUE(second[A::answerCall].Boolean());
  EXPECT_EQ(asn::AliasText(second[A::destinationInfo].At(0)), "5550200");  // itself
  EXPECT_EQ(asn::AliasText(second[A::srcInfo].At(0)), "5550100");
  EXPECT_EQ(asn::Ipv4(second[A::destCallSignalAddress]), ends.callee.GetListenerAddress());
  EXPECT_EQ(asn::Ipv4(second[A::srcCallSignalAddress]), in.srcCallSignalAddress);
  EXPECT_EQ(Guid(second[A::callIdentifier]), out.callIdentifier);

  ASSERT_EQ(ends.gk.Calls().size(), 1u);
  EXPECT_EQ(ends.gk.Calls()[0].parties.size(), 2u);
}

TEST(Admission, RoutedModeSendsBothSidesToTheGatekeeper) {
  TestGatekeeper::Script script;
  script.routed = true;
  TwoEndpoints ends(script);
  const asn::Ipv4Address gatekeeper{{127, 0, 0, 1}, ends.gk.SignallingPort()};
  const Gk::Admission out = Admit(ends.CallerGk(), MakeCallInfo(7, "5550200"));
  ASSERT_EQ(out.outcome, Outcome::Confirmed);
  EXPECT_TRUE(out.gatekeeperRouted);
  EXPECT_EQ(out.destCallSignalAddress, gatekeeper);
  const Gk::Admission in = Admit(ends.CalleeGk(), MakeCallInfo(7, "5550100", true));
  ASSERT_EQ(in.outcome, Outcome::Confirmed);
  EXPECT_TRUE(in.gatekeeperRouted);
  EXPECT_EQ(in.destCallSignalAddress, gatekeeper);
}

TEST(Admission, CallingAnAddressNamesItAndPasswordsSignTheRequest) {
  TwoEndpoints ends(Secured(TestGatekeeper::Auth::Unannounced));
  CallInfo call = MakeCallInfo(9, "");
  call.destCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 1720};
  const Gk::Admission confirm = Admit(ends.CallerGk(), call);
  ASSERT_EQ(confirm.outcome, Outcome::Confirmed);
  EXPECT_EQ(confirm.destCallSignalAddress, call.destCallSignalAddress);
  const auto arqs = ends.gk.MessagesOf(h225::RasMessage::admissionRequest);
  const asn::Value& arq = Body(arqs.at(0));
  EXPECT_FALSE(arq.Has(A::destinationInfo));
  EXPECT_EQ(asn::Ipv4(arq[A::destCallSignalAddress]), call.destCallSignalAddress);
  // All three kinds of token, as on the registration.
  EXPECT_EQ(arq[A::cryptoTokens].Size(), 2u);
  EXPECT_EQ(arq[A::tokens].Size(), 1u);
  EXPECT_TRUE(ends.gk.LastTokensValid());
}

TEST(Admission, EachRejectReasonComesBackAsItWasGiven) {
  TwoEndpoints ends;
  using R = h225::AdmissionRejectReason;
  // Resolved by the gatekeeper: an alias nobody registered.
  Gk::Admission unknown = Admit(ends.CallerGk(), MakeCallInfo(1, "5559999"));
  EXPECT_EQ(unknown.outcome, Outcome::Rejected);
  EXPECT_EQ(unknown.rejectReason, R::calledPartyNotRegistered);
  EXPECT_FALSE(unknown.destCallSignalAddress);
  EXPECT_TRUE(unknown.confirm.Is(h225::RasMessage::admissionReject));
  // The registration, permission and resource reasons, routing elsewhere (routeCallToSCN carries
  // numbers), security, and an extension reason.
  for (std::uint16_t reason : {R::callerNotRegistered, R::invalidPermission, R::requestDenied, R::resourceUnavailable,
                               R::exceedsCallCapacity, R::routeCallToGatekeeper, R::routeCallToSCN,
                               R::incompleteAddress, R::securityDenial, R::noRouteToDestination}) {
    SCOPED_TRACE(reason);
    TestGatekeeper::Script script;
    script.admissionReject = reason;
    ends.gk.SetScript(script);
    const Gk::Admission reject = Admit(ends.CallerGk(), MakeCallInfo(2, "5550200"));
    EXPECT_EQ(reject.outcome, Outcome::Rejected);
    EXPECT_EQ(reject.rejectReason, reason);
  }
  EXPECT_TRUE(ends.gk.Calls().empty());
  // Only the callee refused: the caller is admitted, the callee not.
  TestGatekeeper::Script script;
  script.answerCallReject = R::requestDenied;
  ends.gk.SetScript(script);
  EXPECT_EQ(Admit(ends.CallerGk(), MakeCallInfo(3, "5550200")).outcome, Outcome::Confirmed);
  EXPECT_EQ(Admit(ends.CalleeGk(), MakeCallInfo(3, "5550100", true)).rejectReason, R::requestDenied);
}

TEST(Admission, AWrongPasswordIsRefusedAndAStaleRegistrationIsRenewedFirst) {
  using M = h225::RasMessage;
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

TEST(Admission, SilenceIsTriedAgainThenTimesOutAndProgressWaitsLonger) {
  TwoEndpoints ends;
  TestGatekeeper::Script script;
  script.answerAdmission = false;
  ends.gk.SetScript(script);
  const Gk::Admission silent = Admit(ends.CallerGk(), MakeCallInfo(5, "5550200"));
  EXPECT_EQ(silent.outcome, Outcome::TimedOut);
  const auto arqs = ends.gk.MessagesOf(h225::RasMessage::admissionRequest);
  ASSERT_EQ(arqs.size(), static_cast<std::size_t>(FastTimings().requestTries));
  // The same request each time: one sequence number.
  EXPECT_EQ(Body(arqs[0])[A::requestSeqNum].Integer(), Body(arqs[1])[A::requestSeqNum].Integer());

  // RequestInProgress: the confirm comes after more than a timeout and still counts.
  script = {};
  script.progressDelay = FastTimings().requestTimeout * 3;
  ends.gk.SetScript(script);
  EXPECT_EQ(Admit(ends.CallerGk(), MakeCallInfo(6, "5550200")).outcome, Outcome::Confirmed);
}

TEST(Admission, NotRegisteredAndUnregisteringEndAtOnce) {
  Unregistered u;
  ASSERT_TRUE(u.Register());
  auto gatekeeper = u.ep.GetGatekeeper();
  // The gatekeeper stays silent; unregistering ends the request under way.
  TestGatekeeper::Script script;
  script.answerAdmission = false;
  u.gk.SetScript(script);
  auto done = std::make_shared<std::promise<Gk::Admission>>();
  auto pending = done->get_future();
  gatekeeper->RequestAdmission(MakeCallInfo(1, "5550200"), [done](Gk::Admission a) { done->set_value(std::move(a)); });
  ASSERT_TRUE(u.gk.WaitForMessages(h225::RasMessage::admissionRequest));
  u.ep.RemoveGatekeeper();
  ASSERT_EQ(pending.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(pending.get().outcome, Outcome::Cancelled);
  // Afterwards nothing is asked.
  const std::size_t asked = u.gk.MessagesOf(h225::RasMessage::admissionRequest).size();
  const Gk::Admission after = Admit(*gatekeeper, MakeCallInfo(2, "5550200"));
  EXPECT_TRUE(after.outcome == Outcome::NotRegistered || after.outcome == Outcome::Cancelled);
  EXPECT_EQ(u.gk.MessagesOf(h225::RasMessage::admissionRequest).size(), asked);
}

}  // namespace
}  // namespace vantro::test
