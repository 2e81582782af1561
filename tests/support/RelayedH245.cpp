#include "tests/support/RelayedH245.h"

namespace vantro::test {

using asio::ip::tcp;

RelayedH245::RelayedH245(const asio::any_io_executor& io, const asn::Ipv4Address& target, std::function<void()> joined)
    : acceptor_(io),
      near_(io),
      far_(io),
      target_(asio::ip::address_v4(target.ip), target.port),
      joined_(std::move(joined)) {}

bool RelayedH245::Listen() {
  std::error_code ec;
  acceptor_.open(tcp::v4(), ec);
  if (!ec) acceptor_.bind(tcp::endpoint(asio::ip::address_v4::loopback(), 0), ec);
  if (!ec) acceptor_.listen(1, ec);
  if (!ec) port_ = acceptor_.local_endpoint(ec).port();
  if (ec) return false;
  acceptor_.async_accept(near_, [self = shared_from_this()](std::error_code ec) {
    std::error_code ignored;
    self->acceptor_.close(ignored);
    if (ec) return;
    self->far_.async_connect(self->target_, [self](std::error_code ec) {
      if (ec) {
        self->Close();
        return;
      }
      if (self->joined_) self->joined_();
      self->Pump(self->near_, self->far_, self->nearBuffer_);
      self->Pump(self->far_, self->near_, self->farBuffer_);
    });
  });
  return true;
}

void RelayedH245::Pump(tcp::socket& from, tcp::socket& to, std::array<std::uint8_t, 4096>& buffer) {
  from.async_read_some(asio::buffer(buffer), [self = shared_from_this(), &from, &to, &buffer](std::error_code ec,
                                                                                              std::size_t n) {
    if (ec) {
      self->Close();
      return;
    }
    asio::async_write(to, asio::buffer(buffer.data(), n), [self, &from, &to, &buffer](std::error_code ec, std::size_t) {
      if (ec)
        self->Close();
      else
        self->Pump(from, to, buffer);
    });
  });
}

void RelayedH245::Close() {
  std::error_code ignored;
  acceptor_.close(ignored);
  for (tcp::socket* s : {&near_, &far_}) {
    if (!s->is_open()) continue;
    s->shutdown(tcp::socket::shutdown_both, ignored);
    s->close(ignored);
  }
}

}  // namespace vantro::test
