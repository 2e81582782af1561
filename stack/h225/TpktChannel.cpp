#include "stack/h225/TpktChannel.h"

#include <atomic>
#include <mutex>

namespace vantro::h225 {

namespace {

std::optional<asn::Ipv4Address> ToIpv4(const asio::ip::tcp::endpoint& e) {
  if (!e.address().is_v4()) return std::nullopt;
  return asn::Ipv4Address{e.address().to_v4().to_bytes(), e.port()};
}

std::mutex tapMutex;
std::atomic<bool> tapSet{false};
TpktChannel::WireTap& Tap() {
  static TpktChannel::WireTap tap;
  return tap;
}

}  // namespace

void TpktChannel::SetWireTap(WireTap tap) {
  std::lock_guard lock(tapMutex);
  tapSet = static_cast<bool>(tap);
  Tap() = std::move(tap);
}

TpktChannel::TpktChannel(asio::any_io_executor strand) : strand_(strand), socket_(strand), timer_(strand) {}

TpktChannel::TpktChannel(asio::ip::tcp::socket socket)
    : strand_(socket.get_executor()), socket_(std::move(socket)), timer_(strand_) {}

TpktChannel::~TpktChannel() {
  std::error_code ignored;
  socket_.close(ignored);
}

void TpktChannel::Connect(const asn::Ipv4Address& to, std::chrono::milliseconds timeout, ConnectHandler done) {
  auto self = shared_from_this();
  auto finished = std::make_shared<bool>(false);
  timer_.expires_after(timeout);
  timer_.async_wait([self, finished](std::error_code ec) {
    if (ec || *finished) return;
    *finished = true;  // the connect's handler sees operation_aborted and reports the timeout
    std::error_code ignored;
    self->socket_.cancel(ignored);
    self->socket_.close(ignored);
  });
  const asio::ip::tcp::endpoint at(asio::ip::address_v4(to.ip), to.port);
  socket_.async_connect(at, [self, finished, done = std::move(done)](std::error_code ec) {
    const bool timedOut = *finished;
    *finished = true;
    self->timer_.cancel();
    if (self->closing_) return;  // closed meanwhile: nobody waits
    if (timedOut) ec = asio::error::timed_out;
    if (!ec) {
      std::error_code ignored;
      self->socket_.set_option(asio::ip::tcp::no_delay(true), ignored);
    }
    done(ec);
  });
}

void TpktChannel::Start(PacketHandler onPacket, CloseHandler onClose) {
  onPacket_ = std::move(onPacket);
  onClose_ = std::move(onClose);
  paused_ = false;
  std::error_code ignored;
  socket_.set_option(asio::ip::tcp::no_delay(true), ignored);
  // What came before a Pause goes first; posted, so that a handler may call Start.
  asio::post(strand_, [self = shared_from_this()] { self->Deliver(); });
}

void TpktChannel::Pause() { paused_ = true; }

void TpktChannel::Deliver() {
  Bytes payload;
  while (!closing_ && !paused_) {
    const auto status = reader_.Next(payload);
    if (status == q931::TpktReader::Status::NeedMore) {
      Read();
      return;
    }
    if (status == q931::TpktReader::Status::Failed) {
      Fail(asio::error::invalid_argument);
      return;
    }
    // The handler may pause or close the channel; what is left waits or is dropped then.
    if (!onPacket_) continue;
    delivering_ = true;
    onPacket_(std::move(payload));
    delivering_ = false;
    if (handlersGone_) DropHandlers();
  }
}

void TpktChannel::DropHandlers() {
  // Not while a handler runs: it would destroy itself.
  if (delivering_) {
    handlersGone_ = true;
    return;
  }
  handlersGone_ = false;
  onPacket_ = nullptr;
  onClose_ = nullptr;
}

void TpktChannel::Read() {
  if (reading_ || closing_ || paused_ || !socket_.is_open()) return;
  reading_ = true;
  socket_.async_read_some(asio::buffer(buffer_), [self = shared_from_this()](std::error_code ec, std::size_t n) {
    self->reading_ = false;
    if (self->closing_) {
      self->Drained(ec);
      return;
    }
    if (ec) {
      self->Fail(ec);
      return;
    }
    self->reader_.Feed(std::span<const std::uint8_t>(self->buffer_.data(), n));
    self->Deliver();
  });
}

std::shared_ptr<TpktChannel> TpktChannel::MoveTo(asio::any_io_executor strand) {
  if (!paused_ || reading_ || writing_ || closing_ || !socket_.is_open()) return nullptr;
  std::error_code ec;
  const auto handle = socket_.release(ec);
  if (ec) return nullptr;
  auto moved = std::make_shared<TpktChannel>(asio::ip::tcp::socket(strand, asio::ip::tcp::v4(), handle));
  moved->reader_ = std::move(reader_);
  moved->paused_ = true;
  Close();
  return moved;
}

bool TpktChannel::Send(std::span<const std::uint8_t> payload) {
  if (closing_ || !socket_.is_open()) return false;
  auto framed = q931::TpktFrame(payload);
  if (!framed) return false;
  if (tapSet) {
    std::lock_guard lock(tapMutex);
    if (Tap())
      if (auto from = LocalAddress(), to = RemoteAddress(); from && to) Tap()(*from, *to, *framed);
  }
  backlog_ += framed->size();
  queue_.push_back(std::move(*framed));
  if (backlog_ > kMaxBacklog) {
    // The far end does not read: give up rather than buffer without end.
    asio::post(strand_, [self = shared_from_this()] { self->Fail(asio::error::no_buffer_space); });
    return true;
  }
  Write();
  return true;
}

void TpktChannel::Write() {
  if (writing_ || queue_.empty() || !socket_.is_open()) return;
  writing_ = true;
  asio::async_write(socket_, asio::buffer(queue_.front()),
                    [self = shared_from_this()](std::error_code ec, std::size_t) {
                      self->writing_ = false;
                      if (!self->socket_.is_open()) {
                        self->queue_.clear();  // kept while the write could still read it
                        self->backlog_ = 0;
                        return;
                      }
                      if (ec) {
                        if (!self->closing_)
                          self->Fail(ec);
                        else
                          self->Close();
                        return;
                      }
                      self->backlog_ -= self->queue_.front().size();
                      self->queue_.pop_front();
                      if (!self->queue_.empty()) {
                        self->Write();
                        return;
                      }
                      if (self->shutdownPending_) self->FinishShutdown();
                    });
}

void TpktChannel::Fail(std::error_code ec) {
  if (closing_) return;
  closing_ = true;
  std::error_code ignored;
  timer_.cancel();
  socket_.close(ignored);
  if (!writing_) {
    queue_.clear();
    backlog_ = 0;
  }
  auto handler = std::move(onClose_);
  DropHandlers();
  if (handler) handler(ec);
}

void TpktChannel::Shutdown() {
  if (closing_) return;
  closing_ = true;
  DropHandlers();
  if (!socket_.is_open()) return;
  shutdownPending_ = true;
  // Bound the whole goodbye, slow writes included.
  timer_.expires_after(kLinger);
  timer_.async_wait([self = shared_from_this()](std::error_code ec) {
    if (!ec) self->Close();
  });
  Drain();
  if (!writing_ && queue_.empty()) FinishShutdown();
}

void TpktChannel::FinishShutdown() {
  shutdownPending_ = false;
  std::error_code ignored;
  socket_.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
  if (peerDone_) Close();
}

void TpktChannel::Drain() {
  // Read (and drop) until the far end closes, so that our last message is not lost to a reset.
  if (reading_ || !socket_.is_open()) return;
  reading_ = true;
  socket_.async_read_some(asio::buffer(buffer_), [self = shared_from_this()](std::error_code ec, std::size_t) {
    self->reading_ = false;
    self->Drained(ec);
  });
}

void TpktChannel::Drained(std::error_code ec) {
  if (!socket_.is_open()) return;
  if (!ec) {
    Drain();
    return;
  }
  peerDone_ = true;
  if (!shutdownPending_) Close();
}

void TpktChannel::Close() {
  closing_ = true;
  DropHandlers();
  shutdownPending_ = false;
  if (!writing_) {
    queue_.clear();
    backlog_ = 0;
  }
  timer_.cancel();
  std::error_code ignored;
  socket_.close(ignored);
}

std::optional<asn::Ipv4Address> TpktChannel::LocalAddress() const {
  std::error_code ec;
  const auto e = socket_.local_endpoint(ec);
  if (ec) return std::nullopt;
  return ToIpv4(e);
}

std::optional<asn::Ipv4Address> TpktChannel::RemoteAddress() const {
  std::error_code ec;
  const auto e = socket_.remote_endpoint(ec);
  if (ec) return std::nullopt;
  return ToIpv4(e);
}

}  // namespace vantro::h225
