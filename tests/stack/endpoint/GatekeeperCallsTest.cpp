// Admission, disengage and information requests against the test gatekeeper, where the end-to-end
// calls do not reach (refusals, silence, forged requests). RasTsharkTest reads the messages.

#include "tests/stack/endpoint/RegistrationFixture.h"

#include <atomic>
#include <thread>

namespace vantro::test {
namespace {

using A = h225::AdmissionRequest;
using M = h225::RasMessage;
using Signing = TestGatekeeper::Signing;

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

  // A restart forgot both: refused as not registered, each registers again and asks once more.
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

  // Refused when it registers again: left alone, and not asked at all.
  script.registrationReject = h225::RegistrationRejectReason::securityDenial;
  ends.gk.SetScript(script);
  const std::size_t registrations = ends.gk.RegistrationRequests(false).size();
  ASSERT_TRUE(ends.gk.SendUnregistrationRequest(std::nullopt, 2s, Signing::AsScript, "5550100"));
  ASSERT_TRUE(WaitUntil([&] { return ends.CallerGk().GetRegistrationFailReason() == Gk::SecurityDenied; }));
  EXPECT_FALSE(ends.caller.IsRegisteredWithGatekeeper());
  EXPECT_EQ(ends.gk.RegistrationRequests(false).size(), registrations + 1);
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

TEST(Disengage, ARejectOrSilenceStillEndsTheRequest) {
  Registered r;
  // The gatekeeper forgot us: it rejects, once.
  r.gk.ForgetRegistrations();
  EXPECT_TRUE(Disengage(r.Gatekeeper(), MakeCallInfo(1, "5550200")));
  EXPECT_EQ(r.gk.MessagesOf(M::disengageRequest).size(), 1u);
  // Silence: tried again, then given up.
  TestGatekeeper::Script silent;
  silent.answerDisengage = false;
  r.gk.SetScript(silent);
  EXPECT_TRUE(Disengage(r.Gatekeeper(), MakeCallInfo(2, "5550200")));
  EXPECT_EQ(r.gk.MessagesOf(M::disengageRequest).size(), 1u + FastTimings().requestTries);
  // Not registered: nothing to tell, and done at once.
  auto gatekeeper = r.ep.GetGatekeeper();
  r.ep.RemoveGatekeeper();
  ASSERT_TRUE(r.gk.WaitForMessages(M::unregistrationRequest));
  EXPECT_TRUE(Disengage(*gatekeeper, MakeCallInfo(3, "5550200")));
  EXPECT_EQ(r.gk.MessagesOf(M::disengageRequest).size(), 1u + FastTimings().requestTries);
}

// Older gatekeepers name the call by conference and call reference only.
TEST(GatekeeperDisengage, WithoutACallIdentifierTheConferenceAndReferenceFindTheCall) {
  Registered r;
  const CallInfo call = MakeCallInfo(0x4242, "5550300", true);
  ASSERT_EQ(Admit(r.Gatekeeper(), call).outcome, Outcome::Confirmed);
  r.Gatekeeper().SetCallInfoProvider([call] { return std::vector<CallInfo>{call}; });
  std::atomic<bool> reached{false};
  r.Gatekeeper().SetDisengageHandler([&](const std::string& id) { return reached = id == call.callIdentifier; });
  auto answer = r.gk.SendDisengageRequest(call.callIdentifier, h225::DisengageReason::normalDrop, 2s, Signing::AsScript,
                                          "", true);
  ASSERT_TRUE(answer);
  EXPECT_TRUE(answer->Is(M::disengageConfirm));
  EXPECT_TRUE(reached);
}

// A gatekeeper that signs (H.235.1) is obeyed only when signed; one that does not, without tokens.
TEST(SignedRequests, OnlyRequestsSignedAsTheGatekeeperSignsAreObeyed) {
  Registered r(Secured(TestGatekeeper::Auth::Procedure1));
  ASSERT_TRUE(r.Gatekeeper().IsGatekeeperSigning());
  const CallInfo call = MakeCallInfo(5, "5550300", true);
  ASSERT_EQ(Admit(r.Gatekeeper(), call).outcome, Outcome::Confirmed);
  std::atomic<int> reached{0};
  r.Gatekeeper().SetDisengageHandler([&](const std::string&) {
    ++reached;
    return true;
  });
  for (Signing forged : {Signing::None, Signing::WrongPassword}) {
    EXPECT_FALSE(r.gk.SendDisengageRequest(call.callIdentifier, h225::DisengageReason::forcedDrop, 600ms, forged));
    EXPECT_FALSE(r.gk.SendUnregistrationRequest(std::nullopt, 600ms, forged));
    EXPECT_FALSE(r.gk.SendInfoRequest(600ms, 0, "", forged));
  }
  EXPECT_EQ(reached, 0);
  EXPECT_TRUE(r.ep.IsRegisteredWithGatekeeper());
  auto irr = r.gk.SendInfoRequest();
  ASSERT_TRUE(irr && irr->Is(M::infoRequestResponse));
  auto dcf = r.gk.SendDisengageRequest(call.callIdentifier, h225::DisengageReason::forcedDrop);
  ASSERT_TRUE(dcf && dcf->Is(M::disengageConfirm));
  EXPECT_EQ(reached, 1);

  Registered md5(Secured(TestGatekeeper::Auth::Md5));
  EXPECT_FALSE(md5.Gatekeeper().IsGatekeeperSigning());
  EXPECT_TRUE(md5.gk.SendInfoRequest());
  EXPECT_FALSE(md5.gk.SendInfoRequest(600ms, 0, "", Signing::WrongPassword));
}

TEST(InformationRequest, AnswersWithTheCallsItAsksAbout) {
  Registered r(Secured(TestGatekeeper::Auth::Md5));
  CallInfo out = MakeCallInfo(11, "5550200");
  out.localCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 40001};
  out.remoteCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 1720};
  out.gatekeeperRouted = true;
  CallInfo in = MakeCallInfo(12, "5550300", true);
  r.Gatekeeper().SetCallInfoProvider([=] { return std::vector<CallInfo>{out, in}; });
  using I = h225::InfoRequestResponse;
  using P = h225::InfoRequestResponse_perCallInfo_item;

  auto all = r.gk.SendInfoRequest();
  ASSERT_TRUE(all && all->Is(M::infoRequestResponse));
  const asn::Value& irr = all->Alternative();
  EXPECT_EQ(irr[I::endpointIdentifier].Text(), r.gk.EndpointId());
  EXPECT_EQ(asn::Ipv4(irr[I::callSignalAddress].At(0)), r.ep.GetListenerAddress());
  EXPECT_EQ(asn::Ipv4(irr[I::rasAddress]), r.Gatekeeper().GetLocalRasAddress());
  EXPECT_TRUE(irr.Has(I::cryptoTokens));  // the password hash
  EXPECT_FALSE(irr[I::unsolicited].Boolean());
  ASSERT_EQ(irr[I::perCallInfo].Size(), 2u);
  const asn::Value& first = irr[I::perCallInfo].At(0);
  EXPECT_EQ(first[P::callReferenceValue].Integer(), 11);
  EXPECT_EQ(first[P::conferenceID].Bytes(), out.conferenceID);
  EXPECT_EQ(Guid(first[P::callIdentifier]), out.callIdentifier);
  EXPECT_TRUE(first[P::originator].Boolean());
  EXPECT_TRUE(first[P::callModel].Is(h225::CallModel::gatekeeperRouted));
  EXPECT_EQ(asn::Ipv4(first[P::callSignaling][h225::TransportChannelInfo::recvAddress]), out.localCallSignalAddress);
  EXPECT_EQ(asn::Ipv4(first[P::callSignaling][h225::TransportChannelInfo::sendAddress]), out.remoteCallSignalAddress);
  EXPECT_FALSE(irr[I::perCallInfo].At(1)[P::originator].Boolean());

  // One call by its reference; a reference nobody has: no call, and said so.
  auto byReference = r.gk.SendInfoRequest(2s, 12);
  ASSERT_TRUE(byReference);
  ASSERT_EQ(byReference->Alternative()[I::perCallInfo].Size(), 1u);
  EXPECT_EQ(byReference->Alternative()[I::perCallInfo].At(0)[P::callReferenceValue].Integer(), 12);
  auto none = r.gk.SendInfoRequest(2s, 13);
  ASSERT_TRUE(none);
  EXPECT_FALSE(none->Alternative().Has(I::perCallInfo));
  EXPECT_TRUE(none->Alternative()[I::irrStatus].Is(h225::InfoRequestResponseStatus::invalidCall));
}

TEST(InformationRequest, TheConfirmsFrequencyBringsReportsUntilTheCallEnds) {
  TestGatekeeper::Script script;
  script.irrFrequency = 1;
  Registered r(script);
  const CallInfo call = MakeCallInfo(21, "5550300", true);
  ASSERT_EQ(Admit(r.Gatekeeper(), call).outcome, Outcome::Confirmed);
  ASSERT_TRUE(r.gk.WaitForMessages(M::infoRequestResponse, 2));
  const asn::Value report = Body(r.gk.MessagesOf(M::infoRequestResponse).at(0));
  EXPECT_TRUE(report[h225::InfoRequestResponse::unsolicited].Boolean());
  EXPECT_EQ(Guid(report[h225::InfoRequestResponse::perCallInfo].At(
                0)[h225::InfoRequestResponse_perCallInfo_item::callIdentifier]),
            call.callIdentifier);
  ASSERT_TRUE(Disengage(r.Gatekeeper(), call));
  const std::size_t before = r.gk.MessagesOf(M::infoRequestResponse).size();
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(r.gk.MessagesOf(M::infoRequestResponse).size(), before);
}

}  // namespace
}  // namespace vantro::test
