#include "tests/support/TestGatekeeperRelay.h"

namespace vantro::test {

using asio::ip::tcp;

TestGatekeeperRelay::TestGatekeeperRelay(asio::io_context& io, std::uint16_t port, Resolver resolve)
    : acceptor_(io, tcp::endpoint(asio::ip::address_v4::loopback(), port)), resolve_(std::move(resolve)) {
  port_ = acceptor_.local_endpoint().port();
  Accept();
}

TestGatekeeperRelay::~TestGatekeeperRelay() = default;

void TestGatekeeperRelay::Accept() {
  // The acceptor belongs to this object, which the gatekeeper keeps until its io_context has stopped.
  acceptor_.async_accept([this](std::error_code ec, tcp::socket socket) {
    if (ec == asio::error::operation_aborted || !acceptor_.is_open()) return;
    if (!ec) {
      auto call =
          std::make_shared<RelayedCall>(std::move(socket), asn::Ipv4Address{{127, 0, 0, 1}, port_}, resolve_, log_);
      std::erase_if(calls_, [](const std::weak_ptr<RelayedCall>& c) { return c.expired(); });
      calls_.push_back(call);
      call->Start();
    }
    Accept();
  });
}

void TestGatekeeperRelay::Close() {
  std::error_code ignored;
  acceptor_.close(ignored);
  for (auto& weak : calls_)
    if (auto call = weak.lock()) call->Close();
  calls_.clear();
}

std::size_t TestGatekeeperRelay::SetupsRelayed() const { return log_->recorder.Read(log_->setupsRelayed); }
std::size_t TestGatekeeperRelay::H245Joined() const { return log_->recorder.Read(log_->h245Joined); }

}  // namespace vantro::test
