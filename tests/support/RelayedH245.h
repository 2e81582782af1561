#pragma once
// One separate H.245 connection through the test gatekeeper: a listener on 127.0.0.1 standing for an
// endpoint's H.245 address joins its first connection to that address, octets unchanged. On the io thread.

#include "stack/asn/H323Values.h"

#include <asio.hpp>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

namespace vantro::test {

class RelayedH245 : public std::enable_shared_from_this<RelayedH245> {
 public:
  // joined runs once both connections stand.
  RelayedH245(const asio::any_io_executor& executor, const asn::Ipv4Address& target, std::function<void()> joined);
  RelayedH245(const RelayedH245&) = delete;
  RelayedH245& operator=(const RelayedH245&) = delete;

  // Starts listening; false when no port could be had.
  bool Listen();
  std::uint16_t Port() const { return port_; }
  void Close();

 private:
  void Pump(asio::ip::tcp::socket& from, asio::ip::tcp::socket& to, std::array<std::uint8_t, 4096>& buffer);

  asio::ip::tcp::acceptor acceptor_;
  asio::ip::tcp::socket near_;  // the endpoint that connected to us
  asio::ip::tcp::socket far_;   // the endpoint whose address we stand for
  asio::ip::tcp::endpoint target_;
  std::function<void()> joined_;
  std::uint16_t port_ = 0;
  std::array<std::uint8_t, 4096> nearBuffer_{};
  std::array<std::uint8_t, 4096> farBuffer_{};
};

}  // namespace vantro::test
