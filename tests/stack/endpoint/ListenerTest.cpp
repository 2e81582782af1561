// The call signalling listener takes connections and closes them cleanly.
#include "stack/endpoint/H323EndPoint.h"

#include <gtest/gtest.h>

namespace vantro::endpoint {
namespace {

TEST(Listener, AcceptsAndClosesConnections) {
  H323EndPoint ep;
  ASSERT_TRUE(ep.StartListeners({"127.0.0.1:0"}));
  const auto at = *ep.GetListenerAddress();
  ASSERT_NE(at.port, 0);
  asio::io_context io;
  for (int i = 0; i < 2; ++i) {
    asio::ip::tcp::socket s(io);
    s.connect({asio::ip::address_v4::loopback(), at.port});
    char c;
    std::error_code ec;
    s.read_some(asio::buffer(&c, 1), ec);  // returns with the end of the stream, never hangs
    EXPECT_EQ(ec, asio::error::eof);
  }
  // The same list keeps the listener; its port cannot be taken twice.
  EXPECT_TRUE(ep.StartListeners({"127.0.0.1:0"}));
  EXPECT_EQ(ep.GetListenerAddress()->port, at.port);
  H323EndPoint other;
  EXPECT_FALSE(other.StartListeners({"127.0.0.1:" + std::to_string(at.port)}));
  EXPECT_FALSE(other.GetListenerAddress());
  EXPECT_FALSE(other.StartListeners({"nowhere:1"}));
  ep.Shutdown();
  EXPECT_FALSE(ep.GetListenerAddress());
}

}  // namespace
}  // namespace vantro::endpoint
