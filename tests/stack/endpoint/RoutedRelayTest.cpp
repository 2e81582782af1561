// The test gatekeeper's routed mode, checked with bare call signalling endpoints of the test's
// own: a Setup reaches the callee with the addresses a routing gatekeeper gives it, every answer
// comes back unchanged but for the H.245 address, which names a listener of the gatekeeper that
// joins a separate H.245 connection to the endpoint; Release Complete passes either way and ends
// both connections; a callee unknown, unreachable or gone ends the call with the reason.

#include "tests/support/RawCallEndpoint.h"
#include "tests/support/TestGatekeeper.h"

#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"

#include <gtest/gtest.h>

namespace vantro::test {
namespace {

using namespace std::chrono_literals;
using asn::Value;
using q931::Q931Message;
namespace h225 = asn::h225;
using Body = h225::H323_UU_PDU_h323_message_body;
using S = h225::Setup_UUIE;

const std::string kCall(16, '\x5a');
constexpr std::uint16_t kReference = 0x4ee4;

// The H323-UserInformation of the next message, or nullopt.
std::optional<Value> ReceiveUserInformation(RawCallEndpoint& at) {
  auto message = at.Receive();
  return message ? UserInformationOf(*message) : std::nullopt;
}

// Sends a message whose body announces the sender's H.245 address, and returns the H.245 address
// the other side finds in it.
std::optional<asn::Ipv4Address> PassH245Address(RawCallEndpoint& from, RawCallEndpoint& to, std::uint8_t type,
                                                Value uuie, bool fromCallee) {
  Value& body = BodyOf(uuie);
  asn::setIpv4(body.field(static_cast<std::uint16_t>(body.indexOf("h245Address"))), from.H245ListenAddress());
  if (!from.Send(MakeCallMessage(type, kReference, fromCallee, uuie))) return std::nullopt;
  auto relayed = ReceiveUserInformation(to);
  if (!relayed) return std::nullopt;
  const Value& got = BodyOf(*relayed);
  const int index = got.indexOf("h245Address");
  const Value* address = index < 0 ? nullptr : got.get(static_cast<std::uint16_t>(index));
  return address ? asn::ipv4(*address) : std::nullopt;
}

struct RoutedCall {
  RoutedCall() {
    TestGatekeeper::Script script;
    script.routed = true;
    gk.SetScript(script);
    EXPECT_TRUE(caller.Register(gk.Port(), "5550100"));
    EXPECT_TRUE(callee.Register(gk.Port(), "5550200"));
  }

  asn::Ipv4Address Gatekeeper() const { return {{127, 0, 0, 1}, gk.SignallingPort()}; }

  // The caller's Setup for 5550200, with tunnelled H.245 and a fast start proposal to pass as they are.
  Q931Message Setup(const std::string& called = "5550200") {
    Value uuie = MakeUserInformation(Body::setup, kCall, true);
    Value& setup = BodyOf(uuie);
    asn::setAlias(setup.field(S::sourceAddress).append(), "5550100");
    asn::setAlias(setup.field(S::destinationAddress).append(), called);
    asn::setIpv4(setup.field(S::destCallSignalAddress), Gatekeeper());
    asn::setIpv4(setup.field(S::sourceCallSignalAddress), caller.LocalAddress());
    setup.field(S::conferenceID).setBytes(std::string(16, '\x11'));
    setup.field(S::endpointIdentifier).setText("ep1_TestGk");
    setup.field(S::fastStart).append().setBytes(std::string("\x01\x02\x03", 3));
    uuie.field(h225::H323_UserInformation::h323_uu_pdu).field(h225::H323_UU_PDU::h245Control).append().setBytes(
        std::string("\x02\x70\x01\x06", 4));
    Q931Message message = MakeCallMessage(Q931Message::Setup, kReference, false, uuie);
    message.setBearerCapability(q931::BearerCapability::speech());
    q931::PartyNumber number;
    number.digits = "5550100";
    message.setCallingPartyNumber(number);
    number.digits = called;
    message.setCalledPartyNumber(number);
    return message;
  }

  // Connects the caller, sends the Setup and has the callee take it; the Setup as it arrived.
  std::optional<Q931Message> Start() {
    if (!caller.Connect(Gatekeeper())) return std::nullopt;
    sent = Setup();
    caller.Send(sent);
    if (!callee.Accept()) return std::nullopt;
    return callee.Receive();
  }

  TestGatekeeper gk;
  RawCallEndpoint caller;
  RawCallEndpoint callee;
  Q931Message sent;
};

TEST(RoutedRelay, TheSetupReachesTheCalleeWithTheGatekeepersAddresses) {
  RoutedCall call;
  auto setup = call.Start();
  ASSERT_TRUE(setup);
  EXPECT_EQ(setup->type(), Q931Message::Setup);
  EXPECT_EQ(setup->callReference(), kReference);
  EXPECT_FALSE(setup->fromDestination());
  EXPECT_EQ(setup->calledPartyNumber()->digits, "5550200");
  EXPECT_EQ(setup->callingPartyNumber()->digits, "5550100");
  EXPECT_EQ(setup->bearerCapability(), q931::BearerCapability::speech());
  auto uuie = UserInformationOf(*setup);
  ASSERT_TRUE(uuie);
  const Value& body = BodyOf(*uuie);
  EXPECT_EQ(asn::ipv4(body[S::destCallSignalAddress]), call.callee.ListenAddress());
  EXPECT_EQ(asn::ipv4(body[S::sourceCallSignalAddress]), call.Gatekeeper());
  EXPECT_FALSE(body.has(S::endpointIdentifier));
  EXPECT_EQ(body[S::callIdentifier][h225::CallIdentifier::guid].bytes(), kCall);
  // What the endpoints tell each other passes as it is.
  auto original = UserInformationOf(call.sent);
  EXPECT_EQ(body[S::fastStart], BodyOf(*original)[S::fastStart]);
  EXPECT_EQ(body[S::sourceAddress], BodyOf(*original)[S::sourceAddress]);
  const auto& pdu = (*uuie)[h225::H323_UserInformation::h323_uu_pdu];
  EXPECT_EQ(pdu[h225::H323_UU_PDU::h245Control], (*original)[h225::H323_UserInformation::h323_uu_pdu][h225::H323_UU_PDU::h245Control]);
  EXPECT_TRUE(pdu[h225::H323_UU_PDU::h245Tunneling].boolean());
  EXPECT_EQ(call.gk.Relay().SetupsRelayed(), 1u);
}

TEST(RoutedRelay, AnswersComeBackInOrderAndReleaseCompleteEndsBothConnections) {
  for (bool callerEnds : {true, false}) {
    SCOPED_TRACE(callerEnds);
    RoutedCall call;
    ASSERT_TRUE(call.Start());
    const std::vector<std::pair<std::uint8_t, std::uint16_t>> answers{
        {Q931Message::CallProceeding, Body::callProceeding},
        {Q931Message::Alerting, Body::alerting},
        {Q931Message::Progress, Body::progress},
        {Q931Message::Connect, Body::connect}};
    for (auto [type, body] : answers) {
      const Q931Message answer = MakeCallMessage(type, kReference, true, MakeUserInformation(body, kCall, true));
      ASSERT_TRUE(call.callee.Send(answer));
      auto relayed = call.caller.Receive();
      ASSERT_TRUE(relayed) << q931::messageTypeName(type);
      // Nothing to rewrite: the very octets.
      EXPECT_EQ(relayed->encode(), answer.encode());
    }
    // Tunnelled H.245 both ways in Facility messages.
    Value facility = MakeUserInformation(Body::facility, kCall, true);
    BodyOf(facility).field(h225::Facility_UUIE::reason).select(h225::FacilityReason::transportedInformation);
    facility.field(h225::H323_UserInformation::h323_uu_pdu).field(h225::H323_UU_PDU::h245Control).append().setBytes(
        std::string("\x22\x80", 2));
    ASSERT_TRUE(call.caller.Send(MakeCallMessage(Q931Message::Facility, kReference, false, facility)));
    auto forward = call.callee.Receive();
    ASSERT_TRUE(forward);
    EXPECT_EQ(forward->type(), Q931Message::Facility);

    RawCallEndpoint& ender = callerEnds ? call.caller : call.callee;
    RawCallEndpoint& other = callerEnds ? call.callee : call.caller;
    Q931Message release = MakeCallMessage(Q931Message::ReleaseComplete, kReference, !callerEnds,
                                          MakeUserInformation(Body::releaseComplete, kCall));
    release.setCause({0, 0, q931::Cause::NormalCallClearing, {}});
    ASSERT_TRUE(ender.Send(release));
    auto relayed = other.Receive();
    ASSERT_TRUE(relayed);
    EXPECT_EQ(relayed->type(), Q931Message::ReleaseComplete);
    EXPECT_EQ(relayed->cause()->value, q931::Cause::NormalCallClearing);
    EXPECT_TRUE(other.WaitForClose());
    EXPECT_TRUE(ender.WaitForClose());
    EXPECT_TRUE(call.gk.Relay().WaitUntil([](auto& r) { return r.CallsEnded() == 1; }, 2s));
  }
}

TEST(RoutedRelay, SeparateH245GoesThroughAListenerOfTheGatekeeper) {
  RoutedCall call;
  ASSERT_TRUE(call.Start());
  // The callee announces its H.245 address in Connect; the caller is told the gatekeeper's.
  const auto announced = PassH245Address(call.callee, call.caller, Q931Message::Connect,
                                         MakeUserInformation(Body::connect, kCall), true);
  ASSERT_TRUE(announced);
  EXPECT_EQ(announced->ip, (std::array<std::uint8_t, 4>{127, 0, 0, 1}));
  EXPECT_NE(announced->port, call.callee.H245ListenAddress().port);

  // The caller connects there; the gatekeeper connects to the callee; octets pass both ways.
  ASSERT_TRUE(call.caller.ConnectH245(*announced));
  ASSERT_TRUE(call.callee.AcceptH245());
  const std::vector<std::uint8_t> tcs{3, 0, 0, 8, 0x02, 0x70, 0x01, 0x06};  // TPKT and an H.245 request
  ASSERT_TRUE(call.caller.SendH245(tcs));
  EXPECT_EQ(call.callee.ReceiveH245(tcs.size()), tcs);
  const std::vector<std::uint8_t> ack{3, 0, 0, 7, 0x21, 0x80, 0x01};
  ASSERT_TRUE(call.callee.SendH245(ack));
  EXPECT_EQ(call.caller.ReceiveH245(ack.size()), ack);
  EXPECT_TRUE(call.gk.Relay().WaitUntil([](auto& r) { return r.H245Joined() == 1; }, 2s));

  // The caller may start H.245 from its side too (Facility startH245): that address is replaced as well.
  Value start = MakeUserInformation(Body::facility, kCall);
  BodyOf(start).field(h225::Facility_UUIE::reason).select(h225::FacilityReason::startH245);
  const auto replaced = PassH245Address(call.caller, call.callee, Q931Message::Facility, start, false);
  ASSERT_TRUE(replaced);
  EXPECT_NE(replaced->port, call.caller.H245ListenAddress().port);
  EXPECT_NE(replaced->port, announced->port);
}

TEST(RoutedRelay, AnUnknownOrUnreachableCalleeEndsTheCallWithTheReason) {
  RoutedCall call;
  ASSERT_TRUE(call.caller.Connect(call.Gatekeeper()));
  ASSERT_TRUE(call.caller.Send(call.Setup("5559999")));
  auto release = call.caller.Receive();
  ASSERT_TRUE(release);
  EXPECT_EQ(release->type(), Q931Message::ReleaseComplete);
  EXPECT_TRUE(release->fromDestination());
  auto uuie = UserInformationOf(*release);
  ASSERT_TRUE(uuie);
  EXPECT_TRUE(BodyOf(*uuie)[h225::ReleaseComplete_UUIE::reason].is(h225::ReleaseCompleteReason::calledPartyNotRegistered));
  EXPECT_TRUE(call.caller.WaitForClose());

  // Registered, but nothing listens there any more.
  std::optional<RawCallEndpoint> gone(std::in_place);
  ASSERT_TRUE(gone->Register(call.gk.Port(), "5550300"));
  gone.reset();
  ASSERT_TRUE(call.caller.Connect(call.Gatekeeper()));
  ASSERT_TRUE(call.caller.Send(call.Setup("5550300")));
  uuie = ReceiveUserInformation(call.caller);
  ASSERT_TRUE(uuie);
  EXPECT_TRUE(BodyOf(*uuie)[h225::ReleaseComplete_UUIE::reason].is(h225::ReleaseCompleteReason::unreachableDestination));
  EXPECT_EQ(call.gk.Relay().SetupsRelayed(), 1u);  // the second Setup was passed on, to nobody
}

TEST(RoutedRelay, AConnectionThatDropsEndsTheCallOnTheOtherSide) {
  RoutedCall call;
  ASSERT_TRUE(call.Start());
  call.caller.Close();  // no Release Complete: the caller's machine went away
  auto release = call.callee.Receive();
  ASSERT_TRUE(release);
  EXPECT_EQ(release->type(), Q931Message::ReleaseComplete);
  EXPECT_FALSE(release->fromDestination());
  EXPECT_EQ(release->callReference(), kReference);
  EXPECT_TRUE(call.callee.WaitForClose());
}

TEST(RoutedRelay, NothingButASetupStartsACall) {
  RoutedCall call;
  // Junk that is not TPKT: the connection is closed, nothing reaches anybody.
  ASSERT_TRUE(call.caller.Connect(call.Gatekeeper()));
  ASSERT_TRUE(call.caller.SendRaw({'G', 'E', 'T', ' ', '/', ' ', 'H', 'T', 'T', 'P'}));
  EXPECT_TRUE(call.caller.WaitForClose());
  // A message other than Setup first is dropped; the Setup after it still makes the call.
  ASSERT_TRUE(call.caller.Connect(call.Gatekeeper()));
  ASSERT_TRUE(call.caller.Send(MakeCallMessage(Q931Message::Connect, kReference, false,
                                               MakeUserInformation(Body::connect, kCall))));
  ASSERT_TRUE(call.caller.Send(call.Setup()));
  ASSERT_TRUE(call.callee.Accept());
  auto setup = call.callee.Receive();
  ASSERT_TRUE(setup);
  EXPECT_EQ(setup->type(), Q931Message::Setup);
  EXPECT_EQ(call.gk.Relay().SetupsRelayed(), 1u);
}

}  // namespace
}  // namespace vantro::test
