// What a call does when its far end misbehaves or goes away: a far end registered with the
// gatekeeper by hand and played by the test answers, then resets its connection or falls silent;
// and what the gatekeeper learns of a call when it asks (IRQ).

#include "stack/asn/Defaults.h"
#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"
#include "tests/stack/endpoint/TestPhone.h"
#include "tests/stack/h225/CallHarness.h"
#include "tests/support/TestGatekeeper.h"

#include <gtest/gtest.h>

namespace vantro::test {
namespace {

namespace h = asn::h225;
using E = H323Connection;
using q931::Q931Message;

// Registers alias with the gatekeeper, naming callSignal as its call signalling address.
bool RegisterRaw(std::uint16_t rasPort, const std::string& alias, std::uint16_t callSignal) {
  using R = h::RegistrationRequest;
  asio::io_context io;
  asio::ip::udp::socket ras(io, asio::ip::udp::endpoint(asio::ip::address_v4::loopback(), 0));
  asn::Value message(h::RasMessage::Id);
  asn::Value& rrq = message.select(h::RasMessage::registrationRequest);
  rrq.field(R::requestSeqNum).setInteger(7);
  rrq.field(R::protocolIdentifier).setOid(asn::kH225ProtocolIdentifier);
  rrq.field(R::discoveryComplete).setBoolean(false);
  asn::setIpv4(rrq.field(R::callSignalAddress).append(), Loopback(callSignal));
  asn::setIpv4(rrq.field(R::rasAddress).append(), Loopback(ras.local_endpoint().port()));
  rrq.field(R::terminalType).field(h::EndpointType::terminal);
  asn::setAlias(rrq.field(R::terminalAlias).append(), alias);
  rrq.field(R::keepAlive).setBoolean(false);
  asn::completeMandatory(message);
  ras.send_to(asio::buffer(*asn::encode(message)), asio::ip::udp::endpoint(asio::ip::address_v4::loopback(), rasPort));
  std::array<std::uint8_t, 2048> buffer{};
  ras.non_blocking(true);
  const auto deadline = std::chrono::steady_clock::now() + 2s;
  while (std::chrono::steady_clock::now() < deadline) {
    std::error_code ec;
    const std::size_t n = ras.receive(asio::buffer(buffer), 0, ec);
    if (!ec) {
      auto answer = asn::decode(h::RasMessage::Id, {buffer.data(), n});
      return answer && answer->is(h::RasMessage::registrationConfirm);
    }
    std::this_thread::sleep_for(5ms);
  }
  return false;
}

struct FarEnd {
  explicit FarEnd(bool routed, endpoint::CallTimings timings = TestCallTimings())
      : gk([routed] {
          TestGatekeeper::Script s;
          s.routed = routed;
          return s;
        }()),
        caller("5550100", 440, 43000) {
    caller.SetCallTimings(timings);
    EXPECT_TRUE(caller.Register(gk.Address()));
    EXPECT_TRUE(RegisterRaw(gk.Port(), "5550999", peer.Listen()));
  }
  // The call placed and answered by the far end (without tunnelling or an H.245 address).
  void Answered() {
    std::string token;
    ASSERT_TRUE(caller.MakeCall("5550999@", token));
    ASSERT_TRUE(peer.Accept());
    auto setup = peer.Receive();
    ASSERT_TRUE(setup);
    auto b = PeerBuilder(*setup, false);
    peer.Send(b.CallProceeding());
    peer.Send(b.Connect());
    ASSERT_TRUE(caller.WaitFor([&] { return caller.Established().size() == 1; }));
  }

  TestGatekeeper gk;
  TestPhone caller;
  SignalPeer peer;
};

TEST(FarEndVanishes, ItsConnectionResets) {
  for (bool routed : {false, true}) {
    SCOPED_TRACE(routed ? "routed" : "direct");
    FarEnd f(routed);
    f.Answered();
    f.peer.Reset();
    ASSERT_TRUE(f.caller.WaitCleared());
    std::this_thread::sleep_for(100ms);
    ASSERT_EQ(f.caller.ClearedCalls().size(), 1u);
    // Direct, the reset reaches us; routed, the gatekeeper's Release Complete says how it ended.
    if (!routed) {
      EXPECT_EQ(f.caller.ClearedCalls()[0].reason, E::EndedByTransportFail);
    } else {
      EXPECT_TRUE(f.caller.ClearedCalls()[0].cause);
    }
    EXPECT_TRUE(f.gk.WaitUntil([&](const auto&) { return f.gk.ActiveCalls() == 0; }, 5s));
  }
}

TEST(FarEndVanishes, ItFallsSilent) {
  endpoint::CallTimings timings = TestCallTimings();
  timings.statusEnquiryInterval = 300ms;
  timings.h245Timeout = 400ms;
  FarEnd f(false, timings);
  f.Answered();
  // It read what we sent and answered the first enquiry; then nothing more.
  ASSERT_TRUE(f.peer.ReceiveType(Q931Message::StatusEnquiry, 3s));
  ASSERT_TRUE(f.caller.WaitCleared(1, 5s));
  EXPECT_EQ(f.caller.ClearedCalls()[0].reason, E::EndedByTransportFail);
  EXPECT_TRUE(f.caller.ClearedCalls()[0].established);
  EXPECT_TRUE(f.peer.ReceiveType(Q931Message::ReleaseComplete));
  EXPECT_TRUE(f.gk.WaitUntil([&](const auto&) { return f.gk.ActiveCalls() == 0; }, 5s));
}

TEST(CallInformation, TheGatekeeperHearsOfTheCallWhenItAsks) {
  TestGatekeeper gk;
  TestPhone caller("5550100", 440, 43200), callee("5550200", 1000, 43400);
  ASSERT_TRUE(caller.Register(gk.Address()));
  ASSERT_TRUE(callee.Register(gk.Address()));
  std::string token;
  ASSERT_TRUE(caller.MakeCall("5550200@", token));
  ASSERT_TRUE(caller.WaitFor([&] { return caller.Established().size() == 1; }));
  std::string callIdentifier;
  {
    auto call = caller.FindConnectionWithLock(token);
    ASSERT_TRUE(call);
    callIdentifier = call->GetCallIdentifier();
  }
  auto irr = gk.SendInfoRequest(2s, 0, callIdentifier, TestGatekeeper::Signing::AsScript, "5550100");
  ASSERT_TRUE(irr);
  ASSERT_TRUE(irr->is(h::RasMessage::infoRequestResponse));
  const asn::Value* calls = irr->alternative().get(h::InfoRequestResponse::perCallInfo);
  ASSERT_TRUE(calls);
  ASSERT_EQ(calls->size(), 1u);
  EXPECT_EQ(calls->at(0)[h::InfoRequestResponse_perCallInfo_item::callIdentifier][h::CallIdentifier::guid].bytes(),
            callIdentifier);
  EXPECT_TRUE(calls->at(0)[h::InfoRequestResponse_perCallInfo_item::originator].boolean());
}

}  // namespace
}  // namespace vantro::test
