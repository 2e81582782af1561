// Registration against the test gatekeeper. (The window's tests show each refusal's message,
// silence, registering again and a registration cut short.)

#include "stack/asn/Defaults.h"
#include "stack/asn/Per.h"
#include "tests/stack/endpoint/RegistrationFixture.h"

#include <future>

namespace vantro::test {
namespace {

using Auth = TestGatekeeper::Auth;
using M = h225::RasMessage;
using R = h225::RegistrationRequest;

TEST(Registration, CarriesWhatGatekeepersRequire) {
  Registered r;
  ASSERT_TRUE(r.ep.IsRegisteredWithGatekeeper());
  EXPECT_EQ(r.Gatekeeper().GetEndpointIdentifier(), r.gk.EndpointId());
  const auto rrqs = r.gk.RegistrationRequests(false);
  ASSERT_EQ(rrqs.size(), 1u);
  const asn::Value grq = Body(r.gk.MessagesOf(M::gatekeeperRequest).at(0));
  const asn::Value& rrq = Body(rrqs[0]);
  // Our RAS address is the real one the datagrams come from, never 0.0.0.0 or port 0.
  const asn::Ipv4Address ras{{127, 0, 0, 1}, rrqs[0].from.port()};
  EXPECT_EQ(asn::Ipv4(grq[h225::GatekeeperRequest::rasAddress]), ras);
  EXPECT_EQ(asn::Ipv4(rrq[R::rasAddress].At(0)), ras);
  EXPECT_EQ(asn::Ipv4(rrq[R::callSignalAddress].At(0)), r.ep.GetListenerAddress());
  EXPECT_TRUE(rrq[R::terminalAlias].At(0).Is(h225::AliasAddress::dialedDigits));
  EXPECT_TRUE(rrq[R::terminalType].Has(h225::EndpointType::terminal));
  EXPECT_EQ(rrq[R::endpointVendor][h225::VendorIdentifier::productId].Bytes(), "Vantro Dialer");
  EXPECT_FALSE(rrq.Has(R::cryptoTokens));  // no password, no tokens

  // A user name that is not a number registers as an H.323 identifier; a host name is looked up.
  H323EndPoint named;
  Prepare(named, "alice");
  ASSERT_TRUE(named.UseGatekeeper("localhost:" + std::to_string(r.gk.Port())));
  EXPECT_TRUE(Body(r.gk.RegistrationRequests(false).back())[R::terminalAlias].At(0).Is(h225::AliasAddress::h323_ID));
}

TEST(Registration, EachPasswordMethodRegistersAndAWrongPasswordIsDenied) {
  for (Auth auth : {Auth::Md5, Auth::Cat, Auth::Procedure1, Auth::Unannounced}) {
    SCOPED_TRACE(static_cast<int>(auth));
    Unregistered u(Secured(auth));
    EXPECT_TRUE(u.Register());
    // The method the gatekeeper chose is the only one sent; a gatekeeper that chose none gets all.
    const asn::Value rrq = Body(u.gk.RegistrationRequests(false).at(0));
    const auto count = [&](std::uint16_t field) { return rrq.Has(field) ? rrq[field].Size() : 0; };
    EXPECT_EQ(count(R::cryptoTokens) + count(R::tokens), auth == Auth::Unannounced ? 3u : 1u);
    for (const char* password : {"guess", ""}) {
      H323EndPoint other;
      Prepare(other, "5550100", password);
      EXPECT_FALSE(other.UseGatekeeper(u.gk.Address())) << password;
      EXPECT_EQ(FailReason(other), unsigned{Gk::SecurityDenied}) << password;
    }
  }
}

// A discovery reject is a gatekeeper found but refusing; silence repeats one request.
TEST(Registration, RefusedOrUnansweredDiscovery) {
  using G = h225::GatekeeperRejectReason;
  const struct {
    std::optional<std::uint16_t> reject;
    bool silent, noListener;
    unsigned fail;
  } cases[] = {
      {G::terminalExcluded, false, false, 0x8000u | G::terminalExcluded},
      {G::securityDenial, false, false, Gk::SecurityDenied},
      {std::nullopt, false, true, Gk::InvalidListener},
      {std::nullopt, true, false, 0xffffffffu},  // no gatekeeper at all
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fail);
    TestGatekeeper::Script script;
    script.discoveryReject = c.reject;
    script.answerDiscovery = !c.silent;
    Unregistered u(script);
    if (c.noListener) u.ep.RemoveListeners();
    EXPECT_FALSE(u.Register());
    EXPECT_EQ(FailReason(u.ep), c.fail);
    EXPECT_TRUE(u.gk.MessagesOf(M::registrationRequest).empty());
    if (!c.silent) continue;
    const auto grqs = u.gk.MessagesOf(M::gatekeeperRequest);
    ASSERT_EQ(grqs.size(), 2u);
    EXPECT_EQ(Body(grqs[0])[h225::GatekeeperRequest::requestSeqNum],
              Body(grqs[1])[h225::GatekeeperRequest::requestSeqNum]);
    for (const char* bad : {"", "127.0.0.1:99999", "not a host", "::1"}) EXPECT_FALSE(u.ep.UseGatekeeper(bad)) << bad;
    EXPECT_EQ(u.gk.MessagesOf(M::gatekeeperRequest).size(), 2u);
  }
}

TEST(Registration, RequestInProgressExtendsTheWait) {
  TestGatekeeper::Script script;
  script.progressDelay = 700ms;  // beyond both tries of 200 ms
  Unregistered u(script);
  EXPECT_TRUE(u.Register());
  EXPECT_EQ(u.gk.MessagesOf(M::gatekeeperRequest).size(), 1u);  // no retries while waiting
  EXPECT_EQ(u.gk.RegistrationRequests(false).size(), 1u);
}

TEST(Registration, AnswersFromElsewhereAreIgnored) {
  TestGatekeeper::Script script;
  script.progressDelay = 400ms;  // the spoofer has time to answer first
  Unregistered u(script);
  asio::io_context io;
  asio::ip::udp::socket spoofer(io, asio::ip::udp::endpoint(asio::ip::address_v4::loopback(), 0));
  auto result = std::async(std::launch::async, [&] { return u.Register(); });
  // A confirm naming the spoofer as the gatekeeper, then a reject of the registration.
  for (auto [requestKind, answerKind] : {std::pair{M::gatekeeperRequest, M::gatekeeperConfirm},
                                         std::pair{M::registrationRequest, M::registrationReject}}) {
    ASSERT_TRUE(u.gk.WaitForMessages(requestKind));
    const auto request = u.gk.MessagesOf(requestKind).at(0);
    asn::Value answer(h225::RasMessage::Id);
    asn::Value& b = answer.Select(answerKind);
    b.Field(static_cast<std::uint16_t>(b.IndexOf("requestSeqNum")))
        .SetInteger(Body(request).Find("requestSeqNum")->Integer());
    b.Field(static_cast<std::uint16_t>(b.IndexOf("protocolIdentifier"))).SetOid(asn::kH225ProtocolIdentifier);
    if (answerKind == M::gatekeeperConfirm)
      asn::SetIpv4(b.Field(h225::GatekeeperConfirm::rasAddress), {{127, 0, 0, 1}, spoofer.local_endpoint().port()});
    else
      b.Field(h225::RegistrationReject::rejectReason).Select(h225::RegistrationRejectReason::duplicateAlias);
    asn::CompleteMandatory(b);
    spoofer.send_to(asio::buffer(*asn::Encode(answer)), request.from);
  }
  ASSERT_EQ(result.wait_for(10s), std::future_status::ready);
  EXPECT_TRUE(result.get());
  EXPECT_EQ(u.ep.GetGatekeeper()->GetRasAddress().port(), u.gk.Port());

  // A forged unregistration from elsewhere changes nothing either.
  asn::Value urq(h225::RasMessage::Id);
  asn::Value& body = urq.Select(M::unregistrationRequest);
  body.Field(h225::UnregistrationRequest::requestSeqNum).SetInteger(9);
  asn::SetIpv4(body.Field(h225::UnregistrationRequest::callSignalAddress).Append(), {{127, 0, 0, 1}, 1});
  spoofer.send_to(asio::buffer(*asn::Encode(urq)), u.gk.RegistrationRequests(false).at(0).from);
  // The endpoint reads its RAS socket in order: once it has answered a later request, it has read the forgery.
  ASSERT_TRUE(u.gk.SendInfoRequest());
  EXPECT_TRUE(u.ep.IsRegisteredWithGatekeeper());
}

TEST(KeepAlive, LightweightRequestsComeBeforeTheTimeToLiveRunsOut) {
  auto script = Secured(Auth::Procedure1);
  script.grantedTimeToLive = 5;
  Registered r(script, KeepAliveTimings());
  ASSERT_TRUE(r.gk.WaitUntil([&](auto&) { return r.gk.RegistrationRequests(true).size() >= 3; }, 10s));
  EXPECT_TRUE(r.ep.IsRegisteredWithGatekeeper());
  EXPECT_TRUE(r.gk.LastTokensValid());
  auto all = r.gk.MessagesOf(M::registrationRequest);
  for (std::size_t i = 1; i < all.size(); ++i) {
    const asn::Value& rrq = Body(all[i]);
    EXPECT_TRUE(rrq[R::keepAlive].Boolean());
    EXPECT_EQ(rrq[R::endpointIdentifier].Text(), r.gk.EndpointId());
    EXPECT_FALSE(rrq.Has(R::terminalAlias));
    EXPECT_TRUE(rrq.Has(R::cryptoTokens));
    EXPECT_LT(all[i].at - all[i - 1].at, 5 * KeepAliveTimings().timeToLiveSecond);
  }
}

// A restarting gatekeeper unregisters (any reason; GnuGk: maintenance), forgets, or falls silent:
// the endpoint registers again in full, at once or once it answers.
TEST(Reregistration, HoweverTheGatekeeperDropsTheEndpointItRegistersAgain) {
  using U = h225::UnregRequestReason;
  enum How { ByRequest, Forgotten, Silent };
  const struct {
    How how;
    std::optional<std::uint16_t> reason;
    bool down;  // the gatekeeper answers no registration until the endpoint has lost its own
  } cases[] = {{ByRequest, U::maintenance, false}, {ByRequest, U::reregistrationRequired, false},
               {ByRequest, std::nullopt, false},   {ByRequest, U::maintenance, true},
               {Forgotten, std::nullopt, false},   {Silent, std::nullopt, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.how << " " << c.reason.value_or(99) << " " << c.down);
    TestGatekeeper::Script script;
    script.grantedTimeToLive = 5;
    Registered r(script, KeepAliveTimings());
    const std::string before = r.gk.EndpointId();
    const std::size_t registrations = r.gk.RegistrationRequests(false).size();
    auto down = script;
    down.answerRegistration = false;
    if (c.down) r.gk.SetScript(down);
    if (c.how == ByRequest) {
      auto answer = r.gk.SendUnregistrationRequest(c.reason);
      ASSERT_TRUE(answer && answer->Is(M::unregistrationConfirm));
    } else if (c.how == Forgotten) {
      r.gk.ForgetRegistrations();
    }
    if (c.down) {
      ASSERT_TRUE(WaitUntil([&] { return FailReason(r.ep) == Gk::GatekeeperLostRegistration; }));
      r.gk.SetScript(script);
    }
    // The gatekeeper hands out the new identifier before its confirm reaches the endpoint: wait for both.
    ASSERT_TRUE(WaitUntil([&] {
      const std::string now = r.gk.EndpointId();
      return r.ep.IsRegisteredWithGatekeeper() && now != before && r.Gatekeeper().GetEndpointIdentifier() == now;
    }));
    EXPECT_GT(r.gk.RegistrationRequests(false).size(), registrations);
  }
}

}  // namespace
}  // namespace vantro::test
