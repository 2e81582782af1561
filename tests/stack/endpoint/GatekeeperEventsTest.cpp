// What happens after registration: keep-alives, the gatekeeper's own requests, registering again,
// and ending a registration that is still under way.

#include "tests/stack/endpoint/RegistrationFixture.h"

#include <future>

namespace vantro::test {
namespace {

using R = h225::RegistrationRequest;

TEST(KeepAlive, LightweightRequestsComeBeforeTheTimeToLiveRunsOut) {
  auto script = Secured(TestGatekeeper::Auth::Procedure1);
  script.grantedTimeToLive = 5;
  Registered r(script, KeepAliveTimings());
  ASSERT_TRUE(r.ep.IsRegisteredWithGatekeeper());
  ASSERT_TRUE(r.gk.WaitUntil([&](auto&) { return r.gk.RegistrationRequests(true).size() >= 3; }, 10s));
  EXPECT_TRUE(r.ep.IsRegisteredWithGatekeeper());
  EXPECT_TRUE(r.gk.LastTokensValid());
  auto all = r.gk.MessagesOf(h225::RasMessage::registrationRequest);
  for (std::size_t i = 1; i < all.size(); ++i) {
    const asn::Value& rrq = Body(all[i]);
    EXPECT_TRUE(rrq[R::keepAlive].Boolean());
    EXPECT_EQ(rrq[R::endpointIdentifier].Text(), r.gk.EndpointId());
    EXPECT_EQ(rrq[R::gatekeeperIdentifier].Text(), "TestGk");
    EXPECT_FALSE(rrq.Has(R::terminalAlias));
    EXPECT_TRUE(rrq.Has(R::cryptoTokens));
    // Each one well inside the time the registration lives.
    EXPECT_LT(all[i].at - all[i - 1].at, 5 * KeepAliveTimings().timeToLiveSecond);
  }
}

TEST(KeepAlive, FullRegistrationRequiredBringsAFullRegistration) {
  TestGatekeeper::Script script;
  script.grantedTimeToLive = 5;
  script.keepAlivesNeedingFullRegistration = 1;
  Registered r(script, KeepAliveTimings());
  ASSERT_TRUE(r.ep.IsRegisteredWithGatekeeper());
  const std::string first = r.gk.EndpointId();
  ASSERT_TRUE(r.gk.WaitUntil(
      [&](auto&) {
        return r.gk.RegistrationRequests(false).size() >= 2 && r.gk.RegistrationRequests(true).size() >= 2;
      },
      10s));
  EXPECT_TRUE(r.ep.IsRegisteredWithGatekeeper());
  EXPECT_NE(r.ep.GetGatekeeper()->GetEndpointIdentifier(), first);
  EXPECT_EQ(r.ep.GetGatekeeper()->GetEndpointIdentifier(), r.gk.EndpointId());
}

TEST(KeepAlive, AnUnansweredKeepAliveLosesTheRegistrationUntilTheGatekeeperIsBack) {
  TestGatekeeper::Script script;
  script.grantedTimeToLive = 5;
  Registered r(script, KeepAliveTimings());
  ASSERT_TRUE(r.ep.IsRegisteredWithGatekeeper());
  auto silent = script;
  silent.answerKeepAlive = false;
  silent.answerRegistration = false;
  r.gk.SetScript(silent);
  auto gatekeeper = r.ep.GetGatekeeper();
  ASSERT_TRUE(WaitUntil([&] { return !gatekeeper->IsRegistered(); }));
  EXPECT_EQ(gatekeeper->GetRegistrationFailReason(), unsigned{Gk::GatekeeperLostRegistration});
  r.gk.SetScript(script);
  EXPECT_TRUE(WaitUntil([&] { return gatekeeper->IsRegistered(); }));
}

// A gatekeeper restarting sends every endpoint an unregistration request (GnuGk: maintenance).
TEST(GatekeeperRequests, AnUnregistrationRequestIsConfirmedAndTheEndpointRegistersAgainAtOnce) {
  using U = h225::UnregRequestReason;
  Registered r;
  for (std::optional<std::uint16_t> reason :
       {std::optional<std::uint16_t>(U::maintenance), std::optional<std::uint16_t>(U::reregistrationRequired),
        std::optional<std::uint16_t>()}) {
    const std::string before = r.gk.EndpointId();
    const std::size_t registrations = r.gk.RegistrationRequests(false).size();
    auto answer = r.gk.SendUnregistrationRequest(reason);
    ASSERT_TRUE(answer && answer->Is(h225::RasMessage::unregistrationConfirm));
    ASSERT_TRUE(r.gk.WaitForMessages(h225::RasMessage::registrationRequest, registrations + 1));
    EXPECT_FALSE(Body(r.gk.RegistrationRequests(false).back())[R::keepAlive].Boolean());
    ASSERT_TRUE(WaitUntil([&] { return r.ep.IsRegisteredWithGatekeeper(); }));
    EXPECT_NE(r.gk.EndpointId(), before);
    EXPECT_EQ(r.ep.GetGatekeeper()->GetEndpointIdentifier(), r.gk.EndpointId());
  }
}

TEST(GatekeeperRequests, AGatekeeperThatRefusesTheEndpointAgainIsLeftAlone) {
  TestGatekeeper::Script script;
  Registered r(script);
  script.registrationReject = h225::RegistrationRejectReason::securityDenial;
  r.gk.SetScript(script);
  ASSERT_TRUE(r.gk.SendUnregistrationRequest(std::nullopt));
  ASSERT_TRUE(WaitUntil([&] { return FailReason(r.ep) == Gk::SecurityDenied; }));
  EXPECT_FALSE(r.ep.IsRegisteredWithGatekeeper());
  // Not registered any more: a second request is refused, and nothing more is tried.
  auto answer = r.gk.SendUnregistrationRequest(std::nullopt);
  ASSERT_TRUE(answer);
  EXPECT_TRUE(answer->Is(h225::RasMessage::unregistrationReject));
  EXPECT_EQ(r.gk.RegistrationRequests(false).size(), 2u);
}

TEST(GatekeeperRequests, AGatekeeperGoingDownIsRegisteredWithAgainOnceItIsBack) {
  TestGatekeeper::Script script;
  script.grantedTimeToLive = 5;
  Registered r(script, KeepAliveTimings());
  auto down = script;
  down.answerRegistration = false;
  r.gk.SetScript(down);
  ASSERT_TRUE(r.gk.SendUnregistrationRequest(h225::UnregRequestReason::maintenance));
  ASSERT_TRUE(WaitUntil([&] { return FailReason(r.ep) == Gk::GatekeeperLostRegistration; }));
  r.gk.SetScript(script);
  EXPECT_TRUE(WaitUntil([&] { return r.ep.IsRegisteredWithGatekeeper(); }));
}

TEST(GatekeeperRequests, AnInformationRequestIsAnswered) {
  Registered r(Secured(TestGatekeeper::Auth::Md5));
  ASSERT_TRUE(r.ep.IsRegisteredWithGatekeeper());
  auto answer = r.gk.SendInfoRequest();
  ASSERT_TRUE(answer);
  ASSERT_TRUE(answer->Is(h225::RasMessage::infoRequestResponse));
  using I = h225::InfoRequestResponse;
  const asn::Value& irr = answer->Alternative();
  EXPECT_EQ(irr[I::endpointIdentifier].Text(), r.gk.EndpointId());
  EXPECT_EQ(asn::Ipv4(irr[I::callSignalAddress].At(0)), r.ep.GetListenerAddress());
  EXPECT_EQ(asn::Ipv4(irr[I::rasAddress]), r.ep.GetGatekeeper()->GetLocalRasAddress());
  EXPECT_TRUE(irr.Has(I::cryptoTokens));  // the information response carries the password hash
}

TEST(Reregistration, TheOldRegistrationGoesFirst) {
  Registered r;
  ASSERT_TRUE(r.ep.IsRegisteredWithGatekeeper());
  const std::string first = r.gk.EndpointId();
  ASSERT_TRUE(r.ep.UseGatekeeper(r.gk.Address()));
  std::vector<std::uint16_t> kinds;
  for (auto& m : r.gk.Messages()) kinds.push_back(m.message.Choice());
  using M = h225::RasMessage;
  EXPECT_EQ(kinds, (std::vector<std::uint16_t>{M::gatekeeperRequest, M::registrationRequest, M::unregistrationRequest,
                                               M::gatekeeperRequest, M::registrationRequest}));
  EXPECT_EQ(
      Body(r.gk.MessagesOf(M::unregistrationRequest).at(0))[h225::UnregistrationRequest::endpointIdentifier].Text(),
      first);
  EXPECT_TRUE(r.ep.IsRegisteredWithGatekeeper());
  // Removing it unregisters in the background and leaves no gatekeeper.
  EXPECT_TRUE(r.ep.RemoveGatekeeper());
  EXPECT_EQ(r.ep.GetGatekeeper(), nullptr);
  EXPECT_TRUE(r.gk.WaitUntil([&](auto&) { return r.gk.MessagesOf(M::unregistrationRequest).size() == 2; }, 5s));
  EXPECT_FALSE(r.ep.RemoveGatekeeper());
}

TEST(PendingRegistration, RemoveGatekeeperAndShutdownEndItAtOnce) {
  TestGatekeeper::Script script;
  script.answerDiscovery = false;
  TestGatekeeper gk(script);
  auto slow = FastTimings();
  slow.discoveryTimeout = 60s;
  for (bool byShutdown : {false, true}) {
    auto ep = std::make_unique<H323EndPoint>();
    Prepare(*ep, "5550100");
    ep->SetRasTimings(slow);
    auto result = std::async(std::launch::async, [&] { return ep->UseGatekeeper(gk.Address()); });
    const std::size_t before = gk.MessagesOf(h225::RasMessage::gatekeeperRequest).size();
    ASSERT_TRUE(gk.WaitForMessages(h225::RasMessage::gatekeeperRequest, before + 1));
    if (byShutdown)
      ep->Shutdown();
    else
      ep->RemoveGatekeeper();
    ASSERT_EQ(result.wait_for(5s), std::future_status::ready);  // a guard against hanging, not a speed test
    EXPECT_FALSE(result.get());
    EXPECT_TRUE(ep->WasLastRegistrationCancelled());
  }
}

}  // namespace
}  // namespace vantro::test
