// The end of calls and the gatekeeper's questions about them: our disengage request rejected or
// unanswered, the gatekeeper's found by conference and call reference, information requests
// answered with the calls, unasked reports while a call lasts, and the gatekeeper's requests
// obeyed only when signed as its answers are. (What the messages carry: RasTsharkTest.)

#include "tests/stack/endpoint/CallsFixture.h"

#include <atomic>
#include <thread>

namespace vantro::test {
namespace {

using M = h225::RasMessage;
using Signing = TestGatekeeper::Signing;

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

// Once the gatekeeper signs (H.235.1), a request without its signature cannot end the call or the
// registration; a gatekeeper that does not sign is obeyed without tokens, unless it signs wrongly.
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
