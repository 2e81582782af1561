// The call signalling listener: connections that bring no Setup are closed cleanly (at once for
// junk, after the idle timeout for silence), its port is its own, and a stopped endpoint listens
// no more.
#include "stack/endpoint/H323EndPoint.h"

#include <gtest/gtest.h>

namespace vantro::endpoint {
namespace {

using namespace std::chrono_literals;

// Reads until the end of the stream; false when it did not come within the limit.
bool ClosedWithin(asio::ip::tcp::socket& s, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  s.non_blocking(true);
  char buffer[256];
  while (std::chrono::steady_clock::now() < deadline) {
    std::error_code ec;
    s.read_some(asio::buffer(buffer), ec);
    if (ec && ec != asio::error::would_block) return true;
    std::this_thread::sleep_for(5ms);
  }
  return false;
}

TEST(Listener, ClosesConnectionsThatBringNoSetup) {
  H323EndPoint ep;
  CallTimings timings;
  timings.idleConnectionTimeout = 200ms;
  ep.SetCallTimings(timings);
  ASSERT_TRUE(ep.StartListeners({"127.0.0.1:0"}));
  const auto at = *ep.GetListenerAddress();
  ASSERT_NE(at.port, 0);
  asio::io_context io;
  const asio::ip::tcp::endpoint to(asio::ip::address_v4::loopback(), at.port);

  asio::ip::tcp::socket junk(io);
  junk.connect(to);
  asio::write(junk, asio::buffer(std::string("GET / HTTP/1.0\r\n\r\n")));
  EXPECT_TRUE(ClosedWithin(junk, 2s));

  // A TPKT that holds no Q.931 Setup.
  asio::ip::tcp::socket notSetup(io);
  notSetup.connect(to);
  const std::uint8_t statusEnquiry[] = {3, 0, 0, 9, 0x08, 0x02, 0x00, 0x01, 0x75};
  asio::write(notSetup, asio::buffer(statusEnquiry));
  EXPECT_TRUE(ClosedWithin(notSetup, 2s));

  asio::ip::tcp::socket silent(io);
  silent.connect(to);
  EXPECT_FALSE(ClosedWithin(silent, 50ms));
  EXPECT_TRUE(ClosedWithin(silent, 2s));
}

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
