#include "stack/endpoint/H323ListenerTCP.h"

namespace vantro::endpoint {

bool H323ListenerTCP::Open(const asn::Ipv4Address& address, std::error_code& ec) {
  const asio::ip::tcp::endpoint at(asio::ip::address_v4(address.ip), address.port);
  acceptor_.open(at.protocol(), ec);
  if (!ec) acceptor_.set_option(asio::socket_base::reuse_address(true), ec);
  if (!ec) acceptor_.bind(at, ec);
  if (!ec) acceptor_.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) {
    std::error_code ignored;
    acceptor_.close(ignored);
    return false;
  }
  return true;
}

void H323ListenerTCP::Start() { Accept(); }

void H323ListenerTCP::Accept() {
  if (!acceptor_.is_open()) return;
  acceptor_.async_accept([self = shared_from_this()](std::error_code ec, asio::ip::tcp::socket socket) {
    if (ec == asio::error::operation_aborted || !self->acceptor_.is_open()) return;
    if (ec) {
      // Out of descriptors, say: try again a little later rather than spin.
      auto pause = std::make_shared<asio::steady_timer>(self->acceptor_.get_executor(), std::chrono::milliseconds(100));
      pause->async_wait([self, pause](std::error_code) { self->Accept(); });
      return;
    }
    std::error_code ignored;
    socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    socket.close(ignored);
    self->Accept();
  });
}

void H323ListenerTCP::Close() {
  std::error_code ignored;
  acceptor_.close(ignored);
}

asn::Ipv4Address H323ListenerTCP::LocalAddress() const {
  std::error_code ec;
  const auto local = acceptor_.local_endpoint(ec);
  if (ec) return {};
  return {local.address().to_v4().to_bytes(), local.port()};
}

}  // namespace vantro::endpoint
