#include "tests/support/UdpImpairmentRelay.h"

#include <memory>

namespace vantro::test {

UdpImpairmentRelay::UdpImpairmentRelay(const Endpoint& target, unsigned seed)
    : socket_(io_, Endpoint(asio::ip::address_v4::loopback(), 0)),
      target_(target),
      address_(socket_.local_endpoint()),
      random_(seed) {
  Receive();
  thread_ = std::thread([this] { io_.run(); });
}

UdpImpairmentRelay::~UdpImpairmentRelay() {
  asio::post(io_, [this] { io_.stop(); });
  thread_.join();
}

void UdpImpairmentRelay::SetImpairment(const Impairment& impairment) {
  std::lock_guard lock(mutex_);
  impairment_ = impairment;
}

std::vector<std::vector<std::uint8_t>> UdpImpairmentRelay::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

std::uint64_t UdpImpairmentRelay::Lost() const {
  std::lock_guard lock(mutex_);
  return lost_;
}

void UdpImpairmentRelay::Receive() {
  socket_.async_receive_from(asio::buffer(buffer_), from_, [this](std::error_code ec, std::size_t n) {
    if (ec == asio::error::operation_aborted) return;
    if (!ec) {
      std::vector<std::uint8_t> datagram(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
      std::vector<std::chrono::microseconds> sends;
      {
        std::lock_guard lock(mutex_);
        received_.push_back(datagram);
        std::uniform_real_distribution<double> chance(0, 1);
        const auto jitter = std::chrono::duration_cast<std::chrono::microseconds>(impairment_.jitter).count();
        std::uniform_int_distribution<std::int64_t> delay(0, std::max<std::int64_t>(jitter, 0));
        if (chance(random_) < impairment_.loss) {
          ++lost_;
        } else {
          sends.emplace_back(delay(random_));
          if (chance(random_) < impairment_.holdBack) sends.back() += impairment_.holdBackBy;
          if (chance(random_) < impairment_.duplicate) sends.emplace_back(delay(random_));
        }
      }
      for (auto d : sends) Forward(datagram, d);
    }
    Receive();
  });
}

void UdpImpairmentRelay::Forward(std::vector<std::uint8_t> datagram, std::chrono::microseconds delay) {
  std::error_code ignored;
  if (delay.count() == 0) {
    socket_.send_to(asio::buffer(datagram), target_, 0, ignored);
    return;
  }
  auto timer = std::make_shared<asio::steady_timer>(io_, delay);
  timer->async_wait([this, timer, d = std::move(datagram)](std::error_code ec) {
    std::error_code ignored;
    if (!ec) socket_.send_to(asio::buffer(d), target_, 0, ignored);
  });
}

}  // namespace vantro::test
