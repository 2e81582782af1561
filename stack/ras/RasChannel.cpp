#include "stack/ras/RasChannel.h"

#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"
#include "runtime/PTrace.h"

#include <algorithm>
#include <random>

namespace vantro::ras {

namespace ras = asn::h225;

namespace {

constexpr std::chrono::milliseconds kFirstRetry{10};
constexpr std::chrono::milliseconds kLongestRetry{1000};

}  // namespace

RasChannel::RasChannel(asio::io_context& io) : io_(io), socket_(io), retry_(io) {
  std::random_device rd;
  seq_ = rd() % 65535;
}

RasChannel::~RasChannel() = default;

bool RasChannel::Open(std::error_code& ec) {
  socket_.open(asio::ip::udp::v4(), ec);
  if (!ec) socket_.bind(Endpoint(asio::ip::address_v4::any(), 0), ec);
  if (ec) {
    std::error_code ignored;
    socket_.close(ignored);
    return false;
  }
  Receive();
  return true;
}

void RasChannel::Close() {
  CancelRequests();
  retry_.cancel();
  std::error_code ignored;
  socket_.close(ignored);
  handler_ = nullptr;
}

std::uint16_t RasChannel::LocalPort() const {
  std::error_code ec;
  Endpoint local = socket_.local_endpoint(ec);
  return ec ? 0 : local.port();
}

unsigned RasChannel::NextSequenceNumber() {
  seq_ = seq_ % 65535 + 1;
  return seq_;
}

void RasChannel::Receive() {
  if (!socket_.is_open()) return;
  socket_.async_receive_from(asio::buffer(buffer_), from_,
                             [self = shared_from_this()](std::error_code ec, std::size_t n) {
                               if (ec == asio::error::operation_aborted || !self->socket_.is_open()) return;
                               if (ec || n == 0) {
                                 // An error, or nothing (what a socket shut for reading gives at once, again and
                                 // again).
                                 self->OnReceiveFault(ec);
                                 return;
                               }
                               self->retryWait_ = std::chrono::milliseconds(0);
                               if (self->from_ == self->peer_)
                                 self->OnDatagram(std::span<const std::uint8_t>(self->buffer_.data(), n));
                               self->Receive();
                             });
}

void RasChannel::OnReceiveFault(const std::error_code& ec) {
  ++receiveFaults_;
  retryWait_ = std::clamp(retryWait_ * 2, kFirstRetry, kLongestRetry);
  PTRACE(2, "RAS",
         "receive " << (ec ? ec.message() : "of nothing") << ", reading again in " << retryWait_.count() << " ms");
  retry_.expires_after(retryWait_);
  retry_.async_wait([self = shared_from_this()](std::error_code ec) {
    if (!ec) self->Receive();
  });
}

void RasChannel::OnDatagram(std::span<const std::uint8_t> bytes) {
  auto decoded = asn::Decode(ras::RasMessage::Id, bytes);
  if (!decoded || decoded->IsUnknownAlternative()) return;  // not RAS, or nothing we know: dropped
  const asn::Value& message = *decoded;
  const asn::Value* seqValue = message.Alternative().Find("requestSeqNum");
  if (seqValue) {
    const auto seq = static_cast<unsigned>(seqValue->Integer());
    auto it = pending_.find(seq);
    if (it != pending_.end()) {
      if (message.Is(ras::RasMessage::requestInProgress)) {
        Pending& p = it->second;
        if (p.extensions++ < timings_.maxProgressExtensions) {
          const auto delay = std::clamp<std::int64_t>(message.Alternative()[ras::RequestInProgress::delay].Integer(), 0,
                                                      timings_.maxProgressDelay.count());
          Arm(seq, std::chrono::milliseconds(delay) + p.timeout);
        }
        return;
      }
      if (it->second.accept(message, bytes)) {
        Finish(seq, Answer{Outcome::Answered, message});
        return;
      }
    }
  }
  if (handler_) handler_(message, bytes);
}

void RasChannel::Request(unsigned seq, Build build, Accept accept, std::chrono::milliseconds timeout, int tries,
                         Done done) {
  if (pending_.count(seq)) Finish(seq, Answer{Outcome::Cancelled, {}});
  Pending& p = pending_[seq];
  p.build = std::move(build);
  p.accept = std::move(accept);
  p.done = std::move(done);
  p.timeout = timeout;
  p.triesLeft = std::max(tries, 1);
  p.timer = std::make_unique<asio::steady_timer>(io_);
  SendTry(seq);
}

void RasChannel::CancelRequests() {
  while (!pending_.empty()) Finish(pending_.begin()->first, Answer{Outcome::Cancelled, {}});
}

bool RasChannel::Send(std::span<const std::uint8_t> bytes, const Endpoint& to) {
  std::error_code ec;
  socket_.send_to(asio::buffer(bytes.data(), bytes.size()), to, 0, ec);
  return !ec;
}

void RasChannel::SendTry(unsigned seq) {
  auto it = pending_.find(seq);
  if (it == pending_.end()) return;
  Pending& p = it->second;
  auto bytes = p.build();
  if (!bytes) {
    Finish(seq, Answer{Outcome::TransportFailed, {}});
    return;
  }
  --p.triesLeft;
  if (Send(*bytes, peer_)) p.anySent = true;
  Arm(seq, p.timeout);
}

void RasChannel::Arm(unsigned seq, std::chrono::milliseconds wait) {
  auto it = pending_.find(seq);
  if (it == pending_.end()) return;
  asio::steady_timer& timer = *it->second.timer;
  timer.expires_after(wait);
  timer.async_wait([self = shared_from_this(), seq, t = &timer](std::error_code ec) {
    if (ec) return;
    auto found = self->pending_.find(seq);
    if (found == self->pending_.end() || found->second.timer.get() != t) return;
    if (found->second.triesLeft > 0)
      self->SendTry(seq);
    else
      self->Finish(seq, Answer{found->second.anySent ? Outcome::TimedOut : Outcome::TransportFailed, {}});
  });
}

void RasChannel::Finish(unsigned seq, Answer answer) {
  auto it = pending_.find(seq);
  if (it == pending_.end()) return;
  Pending p = std::move(it->second);
  pending_.erase(it);
  if (p.timer) p.timer->cancel();
  if (p.done) p.done(std::move(answer));
}

}  // namespace vantro::ras
