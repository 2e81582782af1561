// The call signalling listener's port is its own, and a stopped endpoint listens no more. (What it
// does with connections that bring no Setup: IncomingCallTest and ListenerFloodTest.)
#include "stack/endpoint/H323EndPoint.h"

#include <gtest/gtest.h>

namespace vantro::endpoint {
namespace {

using namespace std::chrono_literals;

TEST(Listener, KeepsItsPortAndStopsWithTheEndpoint) {
  H323EndPoint ep;
  ASSERT_TRUE(ep.StartListeners({"127.0.0.1:0"}));
  const auto at = *ep.GetListenerAddress();
  // The same list keeps the listener; its port cannot be taken twice.
  EXPECT_TRUE(ep.StartListeners({"127.0.0.1:0"}));
  EXPECT_EQ(ep.GetListenerAddress()->port, at.port);
  H323EndPoint other;
  EXPECT_FALSE(other.StartListeners({"127.0.0.1:" + std::to_string(at.port)}));
  EXPECT_FALSE(other.GetListenerAddress());
  EXPECT_FALSE(other.StartListeners({"nowhere:1"}));
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
