// The capabilities' H.245 forms; the call signalling listener's port.
#include "stack/asn/Per.h"
#include "stack/asn/generated/H245.h"
#include "stack/endpoint/H323EndPoint.h"

#include <gtest/gtest.h>

namespace vantro::endpoint {
namespace {

// Each capability's value survives PER and is recognised by it alone, with its frame count; a
// peer's value for a format we have is found in table order.
TEST(Capabilities, AudioCapabilityValuesRoundTripAndMatchTheirOwnFormatOnly) {
  using Dir = H323Capability::Direction;
  H323Capabilities table;
  table.SetCapability(0, 0, std::make_unique<H323_G729ACapability>());
  table.SetCapability(0, kNewCapabilitySet, std::make_unique<H323_G7231Capability>(true));
  table.SetCapability(0, kNewCapabilitySet, std::make_unique<H323_G711Capability>());
  for (const auto& e : table.Entries()) {
    const H323Capability& cap = *e.capability;
    auto bytes = asn::Encode(cap.GetAudioCapability(Dir::Transmit, 3));
    ASSERT_TRUE(bytes.Ok()) << cap.GetFormatName();
    auto back = asn::Decode(asn::h245::AudioCapability::Id, *bytes);
    ASSERT_TRUE(back.Ok()) << cap.GetFormatName();
    EXPECT_EQ(cap.GetFramesInPacket(*back), 3u);
    EXPECT_EQ(table.FindMatch(*back).get(), e.capability.get()) << cap.GetFormatName();
    EXPECT_EQ(cap.GetFramesInPacket(cap.GetAudioCapability(Dir::Receive)), cap.GetRxFramesInPacket());
  }
  // A-law is not mu-law; plain G.729 is read by the G.729A capability.
  asn::Value alaw(asn::h245::AudioCapability::Id);
  alaw.Select(asn::h245::AudioCapability::g711Alaw64k).SetInteger(20);
  EXPECT_EQ(table.FindMatch(alaw), nullptr);
  asn::Value g729(asn::h245::AudioCapability::Id);
  g729.Select(asn::h245::AudioCapability::g729).SetInteger(4);
  EXPECT_EQ(table.FindMatch(g729)->GetFormatName(), "G.729A");
}

TEST(Listener, ItsPortCannotBeTakenTwiceAndItStopsWithTheEndpoint) {
  H323EndPoint ep;
  ASSERT_TRUE(ep.StartListeners({"127.0.0.1:0"}));
  const auto at = *ep.GetListenerAddress();
  // (Keeping it for the same list, and a host that is not there: DialerEndPointTest.)
  H323EndPoint other;
  EXPECT_FALSE(other.StartListeners({"127.0.0.1:" + std::to_string(at.port)}));
  EXPECT_FALSE(other.GetListenerAddress());
  ep.Shutdown();
  EXPECT_FALSE(ep.GetListenerAddress());
  asio::io_context io;
  asio::ip::tcp::socket s(io);
  std::error_code ec;
  s.connect({asio::ip::address_v4::loopback(), at.port}, ec);
  EXPECT_EQ(ec, asio::error::connection_refused);
}

}  // namespace
}  // namespace vantro::endpoint
