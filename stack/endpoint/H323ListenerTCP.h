#pragma once
// The call signalling listener: a TCP socket that takes connections. Until the endpoint handles
// calls, each connection is accepted and closed at once (an orderly shutdown, so the caller sees
// the end of the stream rather than a connection left open).

#include "stack/asn/H323Values.h"

#include <asio.hpp>

#include <memory>
#include <system_error>

namespace vantro::endpoint {

class H323ListenerTCP : public std::enable_shared_from_this<H323ListenerTCP> {
 public:
  explicit H323ListenerTCP(asio::io_context& io) : acceptor_(io) {}

  // Binds (address 0.0.0.0 for every interface; port 0 for one the system picks) and listens.
  bool Open(const asn::Ipv4Address& address, std::error_code& ec);
  // Starts taking connections; on the io_context's thread.
  void Start();
  void Close();
  // Where it listens (the port the system picked, when asked to).
  asn::Ipv4Address LocalAddress() const;

 private:
  void Accept();
  asio::ip::tcp::acceptor acceptor_;
};

}  // namespace vantro::endpoint
