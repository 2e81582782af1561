#pragma once
// The test gatekeeper's call signalling listener on 127.0.0.1: each connection is a call that it
// relays to the callee (RelayedCall), the way a gatekeeper routes calls in its routed mode.
// Runs on the gatekeeper's io_context thread; what it passed can be read from any thread.

#include "tests/support/RelayedCall.h"

#include <asio.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace vantro::test {

class TestGatekeeperRelay {
 public:
  using Resolver = RelayedCall::Resolver;

  // Listens on the port (0: chosen by the system).
  TestGatekeeperRelay(asio::io_context& io, std::uint16_t port, Resolver resolve);
  ~TestGatekeeperRelay();
  TestGatekeeperRelay(const TestGatekeeperRelay&) = delete;
  TestGatekeeperRelay& operator=(const TestGatekeeperRelay&) = delete;

  std::uint16_t Port() const { return port_; }
  // Stops listening and ends the calls; on the io_context's thread.
  void Close();

  std::size_t SetupsRelayed() const;
  std::size_t H245Joined() const;

 private:
  void Accept();

  asio::ip::tcp::acceptor acceptor_;
  std::uint16_t port_ = 0;
  Resolver resolve_;
  std::shared_ptr<RelayLog> log_ = std::make_shared<RelayLog>();
  std::vector<std::weak_ptr<RelayedCall>> calls_;
};

}  // namespace vantro::test
