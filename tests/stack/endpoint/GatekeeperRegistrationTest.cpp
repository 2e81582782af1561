// Discovery and registration against the test gatekeeper: the fields gatekeepers require, the
// password methods, every reject reason, silence, and what protects the exchange.

#include "stack/asn/Defaults.h"
#include "stack/asn/Per.h"
#include "stack/asn/generated/H235.h"
#include "tests/stack/endpoint/RegistrationFixture.h"

#include <future>
#include <thread>

namespace vantro::test {
namespace {

using Auth = TestGatekeeper::Auth;

TEST(Registration, CarriesWhatGatekeepersRequire) {
  Registered r;
  ASSERT_TRUE(r.ep.IsRegisteredWithGatekeeper());
  EXPECT_EQ(FailReason(r.ep), unsigned{Gk::RegistrationSuccessful});
  EXPECT_EQ(r.ep.GetGatekeeper()->GetEndpointIdentifier(), r.gk.EndpointId());
  EXPECT_EQ(r.ep.GetGatekeeper()->GetIdentifier(), "TestGk");

  const auto grqs = r.gk.MessagesOf(h225::RasMessage::gatekeeperRequest);
  const auto rrqs = r.gk.RegistrationRequests(false);
  ASSERT_EQ(grqs.size(), 1u);
  ASSERT_EQ(rrqs.size(), 1u);
  const asn::Value& grq = Body(grqs[0]);
  const asn::Value& rrq = Body(rrqs[0]);
  using R = h225::RegistrationRequest;
  // Our RAS address is the real one the datagrams come from, never 0.0.0.0 or port 0.
  const asn::Ipv4Address ras{{127, 0, 0, 1}, rrqs[0].from.port()};
  EXPECT_EQ(asn::Ipv4(grq[h225::GatekeeperRequest::rasAddress]), ras);
  EXPECT_EQ(asn::Ipv4(rrq[R::rasAddress].At(0)), ras);
  EXPECT_EQ(asn::Ipv4(rrq[R::callSignalAddress].At(0)), r.ep.GetListenerAddress());
  EXPECT_NE(r.ep.GetListenerAddress()->port, 0);
  EXPECT_EQ(asn::AliasText(grq[h225::GatekeeperRequest::endpointAlias].At(0)), "5550100");
  EXPECT_TRUE(rrq[R::terminalAlias].At(0).Is(h225::AliasAddress::dialedDigits));
  EXPECT_EQ(asn::AliasText(rrq[R::terminalAlias].At(0)), "5550100");
  EXPECT_TRUE(rrq[R::discoveryComplete].Boolean());
  EXPECT_TRUE(rrq[R::terminalType].Has(h225::EndpointType::terminal));
  EXPECT_EQ(rrq[R::endpointVendor][h225::VendorIdentifier::productId].Bytes(), "Vantro Dialer");
  EXPECT_EQ(rrq[R::gatekeeperIdentifier].Text(), "TestGk");
  EXPECT_EQ(rrq[R::timeToLive].Integer(), 10);
  EXPECT_FALSE(rrq[R::keepAlive].Boolean());
  EXPECT_FALSE(rrq.Has(R::cryptoTokens));  // no password, no tokens
  EXPECT_FALSE(grq.Has(h225::GatekeeperRequest::authenticationCapability));

  // A user name that is not a number registers as an H.323 identifier.
  H323EndPoint named;
  Prepare(named, "alice");
  ASSERT_TRUE(named.UseGatekeeper(r.gk.Address()));
  EXPECT_TRUE(Body(r.gk.RegistrationRequests(false).back())[R::terminalAlias].At(0).Is(h225::AliasAddress::h323_ID));
}

TEST(Registration, EachPasswordMethodRegistersAndAWrongPasswordIsDenied) {
  for (Auth auth : {Auth::Md5, Auth::Cat, Auth::Procedure1, Auth::Unannounced}) {
    SCOPED_TRACE(static_cast<int>(auth));
    Unregistered u(Secured(auth));
    EXPECT_TRUE(u.Register());
    EXPECT_TRUE(u.gk.LastTokensValid());
    const auto grqs = u.gk.MessagesOf(h225::RasMessage::gatekeeperRequest);
    const asn::Value& grq = Body(grqs.at(0));
    EXPECT_EQ(grq[h225::GatekeeperRequest::algorithmOIDs].Size(), 3u);
    // The method the gatekeeper chose is the only one sent; a gatekeeper that chose none gets all.
    const auto rrqs = u.gk.RegistrationRequests(false);
    const asn::Value& rrq = Body(rrqs.at(0));
    const std::size_t crypto =
        rrq.Has(h225::RegistrationRequest::cryptoTokens) ? rrq[h225::RegistrationRequest::cryptoTokens].Size() : 0;
    const std::size_t clear =
        rrq.Has(h225::RegistrationRequest::tokens) ? rrq[h225::RegistrationRequest::tokens].Size() : 0;
    const std::size_t expected = auth == Auth::Unannounced ? 3 : 1;
    EXPECT_EQ(crypto + clear, expected);

    // A wrong password, and none, pass nothing.
    for (const char* password : {"guess", ""}) {
      H323EndPoint other;
      Prepare(other, "5550100", password);
      EXPECT_FALSE(other.UseGatekeeper(u.gk.Address())) << password;
      EXPECT_EQ(FailReason(other), unsigned{Gk::SecurityDenied}) << password;
    }
  }
}

TEST(Registration, RejectReasonsMapToFailReasons) {
  using J = h225::RegistrationRejectReason;
  const std::pair<std::uint16_t, unsigned> cases[] = {
      {J::invalidCallSignalAddress, Gk::InvalidListener},
      {J::invalidRASAddress, Gk::InvalidListener},
      {J::duplicateAlias, Gk::DuplicateAlias},
      {J::securityDenial, Gk::SecurityDenied},
      {J::securityError, Gk::SecurityDenied},
      {J::undefinedReason, 0x8000u | J::undefinedReason},
      {J::resourceUnavailable, 0x8000u | J::resourceUnavailable},
      {J::invalidAlias, 0x8000u | J::invalidAlias},
  };
  Unregistered u;
  for (auto [reason, fail] : cases) {
    SCOPED_TRACE(reason);
    TestGatekeeper::Script script;
    script.registrationReject = reason;
    u.gk.SetScript(script);
    EXPECT_FALSE(u.Register());
    ASSERT_TRUE(u.ep.GetGatekeeper());  // found, but refusing
    EXPECT_EQ(FailReason(u.ep), fail);
    EXPECT_FALSE(u.ep.IsRegisteredWithGatekeeper());
  }
}

TEST(Registration, SilenceMeansNoGatekeeper) {
  TestGatekeeper::Script script;
  script.answerDiscovery = false;
  Unregistered u(script);
  EXPECT_FALSE(u.Register());
  EXPECT_EQ(u.ep.GetGatekeeper(), nullptr);
  EXPECT_FALSE(u.ep.WasLastRegistrationCancelled());
  // Each try repeated the request with its sequence number.
  const auto grqs = u.gk.MessagesOf(h225::RasMessage::gatekeeperRequest);
  ASSERT_EQ(grqs.size(), 2u);
  EXPECT_EQ(Body(grqs[0])[h225::GatekeeperRequest::requestSeqNum],
            Body(grqs[1])[h225::GatekeeperRequest::requestSeqNum]);

  // With the real timings an unanswered discovery gives up within ten seconds.
  const ras::RasTimings real;
  EXPECT_LT(real.discoveryTimeout * real.discoveryTries, 10s);

  // Unusable addresses find nothing either, without sending anything.
  for (const char* bad : {"", "127.0.0.1:99999", "not a host", "::1"}) EXPECT_FALSE(u.ep.UseGatekeeper(bad)) << bad;
  EXPECT_EQ(u.ep.GetGatekeeper(), nullptr);
}

TEST(Registration, AGatekeeperRejectCountsAsFoundAndRefusing) {
  TestGatekeeper::Script script;
  script.discoveryReject = h225::GatekeeperRejectReason::terminalExcluded;
  Unregistered u(script);
  EXPECT_FALSE(u.Register());
  ASSERT_TRUE(u.ep.GetGatekeeper());
  EXPECT_EQ(FailReason(u.ep), 0x8000u | h225::GatekeeperRejectReason::terminalExcluded);
  EXPECT_TRUE(u.gk.MessagesOf(h225::RasMessage::registrationRequest).empty());

  script.discoveryReject = h225::GatekeeperRejectReason::securityDenial;
  u.gk.SetScript(script);
  EXPECT_FALSE(u.Register());
  EXPECT_EQ(FailReason(u.ep), unsigned{Gk::SecurityDenied});
}

TEST(Registration, AnUnansweredRegistrationIsATransportFailure) {
  TestGatekeeper::Script script;
  script.answerRegistration = false;
  Unregistered u(script);
  EXPECT_FALSE(u.Register());
  EXPECT_EQ(FailReason(u.ep), unsigned{Gk::TransportError});
  EXPECT_EQ(u.gk.RegistrationRequests(false).size(), 2u);
}

TEST(Registration, WithoutAListenerNothingIsRegistered) {
  Unregistered u;
  u.ep.RemoveListeners();
  EXPECT_FALSE(u.Register());
  EXPECT_EQ(FailReason(u.ep), unsigned{Gk::InvalidListener});
  EXPECT_TRUE(u.gk.MessagesOf(h225::RasMessage::registrationRequest).empty());
}

TEST(Registration, RequestInProgressExtendsTheWait) {
  TestGatekeeper::Script script;
  script.progressDelay = 700ms;  // beyond both tries of 200 ms
  Unregistered u(script);
  EXPECT_TRUE(u.Register());
  EXPECT_EQ(u.gk.MessagesOf(h225::RasMessage::gatekeeperRequest).size(), 1u);  // no retries while waiting
  EXPECT_EQ(u.gk.RegistrationRequests(false).size(), 1u);
}

TEST(Registration, AHostNameIsLookedUp) {
  Unregistered u;
  EXPECT_TRUE(u.ep.UseGatekeeper("localhost:" + std::to_string(u.gk.Port())));
}

TEST(Registration, AnswersFromElsewhereAreIgnored) {
  TestGatekeeper::Script script;
  script.progressDelay = 400ms;  // the spoofer has time to answer first
  Unregistered u(script);
  asio::io_context io;
  asio::ip::udp::socket spoofer(io, asio::ip::udp::endpoint(asio::ip::address_v4::loopback(), 0));
  auto result = std::async(std::launch::async, [&] { return u.Register(); });

  auto forge = [&](std::uint16_t requestKind, std::uint16_t answerKind) {
    ASSERT_TRUE(u.gk.WaitForMessages(requestKind));
    const auto request = u.gk.MessagesOf(requestKind).at(0);
    asn::Value answer(h225::RasMessage::Id);
    asn::Value& b = answer.Select(answerKind);
    b.Field(static_cast<std::uint16_t>(b.IndexOf("requestSeqNum")))
        .SetInteger(request.message.Alternative().Find("requestSeqNum")->Integer());
    if (answerKind == h225::RasMessage::gatekeeperConfirm) {
      b.Field(h225::GatekeeperConfirm::protocolIdentifier).SetOid(asn::kH225ProtocolIdentifier);
      asn::SetIpv4(b.Field(h225::GatekeeperConfirm::rasAddress), {{127, 0, 0, 1}, spoofer.local_endpoint().port()});
    } else {
      b.Field(h225::RegistrationReject::protocolIdentifier).SetOid(asn::kH225ProtocolIdentifier);
      b.Field(h225::RegistrationReject::rejectReason).Select(h225::RegistrationRejectReason::duplicateAlias);
    }
    asn::CompleteMandatory(b);
    spoofer.send_to(asio::buffer(*asn::Encode(answer)), request.from);
  };
  forge(h225::RasMessage::gatekeeperRequest, h225::RasMessage::gatekeeperConfirm);
  forge(h225::RasMessage::registrationRequest, h225::RasMessage::registrationReject);
  ASSERT_EQ(result.wait_for(10s), std::future_status::ready);
  EXPECT_TRUE(result.get());
  EXPECT_EQ(FailReason(u.ep), unsigned{Gk::RegistrationSuccessful});
  EXPECT_EQ(u.ep.GetGatekeeper()->GetRasAddress().port(), u.gk.Port());

  // A forged unregistration from elsewhere changes nothing either.
  asn::Value urq(h225::RasMessage::Id);
  asn::Value& body = urq.Select(h225::RasMessage::unregistrationRequest);
  body.Field(h225::UnregistrationRequest::requestSeqNum).SetInteger(9);
  asn::SetIpv4(body.Field(h225::UnregistrationRequest::callSignalAddress).Append(), {{127, 0, 0, 1}, 1});
  spoofer.send_to(asio::buffer(*asn::Encode(urq)), u.gk.RegistrationRequests(false).at(0).from);
  // The endpoint reads its RAS socket in order: once it has answered the gatekeeper's request that
  // came after the forgery, it has dealt with the forgery.
  ASSERT_TRUE(u.gk.SendInfoRequest());
  EXPECT_TRUE(u.ep.IsRegisteredWithGatekeeper());
}

}  // namespace
}  // namespace vantro::test
