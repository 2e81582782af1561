// The end of calls and the gatekeeper's questions about them: DRQ from the endpoint (confirmed,
// rejected, unanswered), DRQ from the gatekeeper reaching the call's handler, information
// requests answered with the calls, unasked reports while a call lasts, and the gatekeeper's
// requests that carry no valid signature when the gatekeeper signs (H.235.1): ignored.

#include "tests/stack/endpoint/CallsFixture.h"

#include <atomic>
#include <thread>

namespace vantro::test {
namespace {

using D = h225::DisengageRequest;
using Signing = TestGatekeeper::Signing;

TEST(Disengage, TheRequestNamesTheCallAndHowItEnded) {
  Registered r;
  CallInfo call = MakeCallInfo(0x77, "5550200", true);
  call.releaseCause = 17;
  ASSERT_TRUE(Disengage(r.Gatekeeper(), call, h225::DisengageReason::forcedDrop));
  const auto drqs = r.gk.MessagesOf(h225::RasMessage::disengageRequest);
  ASSERT_EQ(drqs.size(), 1u);
  const asn::Value& drq = Body(drqs[0]);
  EXPECT_EQ(drq[D::endpointIdentifier].Text(), r.gk.EndpointId());
  EXPECT_EQ(drq[D::gatekeeperIdentifier].Text(), "TestGk");
  EXPECT_EQ(drq[D::conferenceID].Bytes(), call.conferenceID);
  EXPECT_EQ(Guid(drq[D::callIdentifier]), call.callIdentifier);
  EXPECT_EQ(drq[D::callReferenceValue].Integer(), 0x77);
  EXPECT_TRUE(drq[D::disengageReason].Is(h225::DisengageReason::forcedDrop));
  EXPECT_TRUE(drq[D::answeredCall].Boolean());
  ASSERT_TRUE(drq[D::terminationCause].Is(h225::CallTerminationCause::releaseCompleteCauseIE));
  EXPECT_EQ(drq[D::terminationCause].Alternative().Bytes(), std::string("\x80\x91"));
}

TEST(Disengage, ARejectOrSilenceStillEndsTheRequest) {
  Registered r;
  // The gatekeeper forgot us: it rejects, once.
  r.gk.ForgetRegistrations();
  EXPECT_TRUE(Disengage(r.Gatekeeper(), MakeCallInfo(1, "5550200")));
  EXPECT_EQ(r.gk.MessagesOf(h225::RasMessage::disengageRequest).size(), 1u);
  // Silence: tried again, then given up.
  TestGatekeeper::Script silent;
  silent.answerDisengage = false;
  r.gk.SetScript(silent);
  EXPECT_TRUE(Disengage(r.Gatekeeper(), MakeCallInfo(2, "5550200")));
  EXPECT_EQ(r.gk.MessagesOf(h225::RasMessage::disengageRequest).size(), 1u + FastTimings().requestTries);
  // Not registered: nothing to tell, and done at once.
  auto gatekeeper = r.ep.GetGatekeeper();
  r.ep.RemoveGatekeeper();
  ASSERT_TRUE(r.gk.WaitForMessages(h225::RasMessage::unregistrationRequest));
  EXPECT_TRUE(Disengage(*gatekeeper, MakeCallInfo(3, "5550200")));
  EXPECT_EQ(r.gk.MessagesOf(h225::RasMessage::disengageRequest).size(), 1u + FastTimings().requestTries);
}

TEST(GatekeeperDisengage, ReachesTheHandlerOfAKnownCallOnly) {
  Registered r;
  const CallInfo call = MakeCallInfo(5, "5550300", true);
  ASSERT_EQ(Admit(r.Gatekeeper(), call).outcome, Outcome::Confirmed);
  std::mutex mutex;
  std::vector<std::string> ended;
  r.Gatekeeper().SetDisengageHandler([&](const std::string& id) {
    std::lock_guard lock(mutex);
    ended.push_back(id);
    return id == call.callIdentifier;
  });
  auto answer = r.gk.SendDisengageRequest(call.callIdentifier, h225::DisengageReason::forcedDrop);
  ASSERT_TRUE(answer);
  EXPECT_TRUE(answer->Is(h225::RasMessage::disengageConfirm));
  EXPECT_EQ(r.gk.ActiveCalls(), 0u);
  // Another call: refused as one the endpoint does not have.
  answer = r.gk.SendDisengageRequest(RandomGuid(), h225::DisengageReason::forcedDrop);
  ASSERT_TRUE(answer);
  ASSERT_TRUE(answer->Is(h225::RasMessage::disengageReject));
  EXPECT_TRUE(
      answer->Alternative()[h225::DisengageReject::rejectReason].Is(h225::DisengageRejectReason::requestToDropOther));
  std::lock_guard lock(mutex);
  ASSERT_EQ(ended.size(), 2u);
  EXPECT_EQ(ended[0], call.callIdentifier);
}

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
  EXPECT_TRUE(answer->Is(h225::RasMessage::disengageConfirm));
  EXPECT_TRUE(reached);
}

TEST(SignedRequests, ForgedDisengageRequestsCannotEndACall) {
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
    EXPECT_EQ(reached, 0);
  }
  auto answer = r.gk.SendDisengageRequest(call.callIdentifier, h225::DisengageReason::forcedDrop);
  ASSERT_TRUE(answer);
  EXPECT_TRUE(answer->Is(h225::RasMessage::disengageConfirm));
  EXPECT_EQ(reached, 1);
}

TEST(SignedRequests, ForgedUnregistrationAndInformationRequestsAreIgnored) {
  Registered r(Secured(TestGatekeeper::Auth::Procedure1));
  for (Signing forged : {Signing::None, Signing::WrongPassword}) {
    EXPECT_FALSE(r.gk.SendUnregistrationRequest(std::nullopt, 600ms, forged));
    EXPECT_FALSE(r.gk.SendInfoRequest(600ms, 0, "", forged));
  }
  EXPECT_TRUE(r.ep.IsRegisteredWithGatekeeper());
  auto irr = r.gk.SendInfoRequest();
  ASSERT_TRUE(irr && irr->Is(h225::RasMessage::infoRequestResponse));
  // The genuine one is obeyed: the endpoint registers anew.
  auto ucf = r.gk.SendUnregistrationRequest(std::nullopt);
  ASSERT_TRUE(ucf && ucf->Is(h225::RasMessage::unregistrationConfirm));
  EXPECT_TRUE(r.gk.WaitForMessages(h225::RasMessage::registrationRequest, 2));
}

TEST(SignedRequests, AGatekeeperThatDoesNotSignIsObeyedWithoutTokens) {
  // The MD5 hash and CAT go from the endpoint only: such a gatekeeper's requests carry nothing.
  Registered r(Secured(TestGatekeeper::Auth::Md5));
  EXPECT_FALSE(r.Gatekeeper().IsGatekeeperSigning());
  EXPECT_TRUE(r.gk.SendInfoRequest());
  // One that signs with another password is not.
  EXPECT_FALSE(r.gk.SendInfoRequest(600ms, 0, "", Signing::WrongPassword));
}

TEST(InformationRequest, AnswersWithTheCallsItAsksAbout) {
  Registered r;
  CallInfo out = MakeCallInfo(11, "5550200");
  out.localCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 40001};
  out.remoteCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 1720};
  out.gatekeeperRouted = true;
  CallInfo in = MakeCallInfo(12, "5550300", true);
  r.Gatekeeper().SetCallInfoProvider([=] { return std::vector<CallInfo>{out, in}; });
  using I = h225::InfoRequestResponse;
  using P = h225::InfoRequestResponse_perCallInfo_item;

  auto all = r.gk.SendInfoRequest();
  ASSERT_TRUE(all && all->Is(h225::RasMessage::infoRequestResponse));
  const asn::Value& irr = all->Alternative();
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
  EXPECT_FALSE(irr[I::unsolicited].Boolean());

  auto byReference = r.gk.SendInfoRequest(2s, 12);
  ASSERT_TRUE(byReference);
  ASSERT_EQ(byReference->Alternative()[I::perCallInfo].Size(), 1u);
  EXPECT_EQ(byReference->Alternative()[I::perCallInfo].At(0)[P::callReferenceValue].Integer(), 12);
  auto byIdentifier = r.gk.SendInfoRequest(2s, 99, out.callIdentifier);
  ASSERT_TRUE(byIdentifier);
  ASSERT_EQ(byIdentifier->Alternative()[I::perCallInfo].Size(), 1u);
  EXPECT_EQ(byIdentifier->Alternative()[I::perCallInfo].At(0)[P::callReferenceValue].Integer(), 11);
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
  ASSERT_TRUE(r.gk.WaitForMessages(h225::RasMessage::infoRequestResponse, 2));
  const auto reports = r.gk.MessagesOf(h225::RasMessage::infoRequestResponse);
  const asn::Value& report = Body(reports.at(0));
  EXPECT_TRUE(report[h225::InfoRequestResponse::unsolicited].Boolean());
  EXPECT_EQ(Guid(report[h225::InfoRequestResponse::perCallInfo].At(
                0)[h225::InfoRequestResponse_perCallInfo_item::callIdentifier]),
            call.callIdentifier);
  ASSERT_TRUE(Disengage(r.Gatekeeper(), call));
  const std::size_t before = r.gk.MessagesOf(h225::RasMessage::infoRequestResponse).size();
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(r.gk.MessagesOf(h225::RasMessage::infoRequestResponse).size(), before);
}

}  // namespace
}  // namespace vantro::test
