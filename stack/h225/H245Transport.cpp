#include "stack/h225/H245Transport.h"

#include "runtime/PTrace.h"
#include "stack/asn/Per.h"
#include "stack/asn/generated/H245.h"
#include "stack/h225/H225Message.h"

namespace vantro::h225 {

H245Transport::H245Transport(asio::any_io_executor strand, Owner& owner, std::weak_ptr<void> keepAlive)
    : strand_(strand), owner_(owner), acceptor_(strand), keepAlive_(std::move(keepAlive)) {}

H245Transport::~H245Transport() {
  life_.reset();  // handlers still queued see that the transport is gone
  Close();
}

std::optional<asn::Ipv4Address> H245Transport::Listen(const asn::Ipv4Address& localIp) {
  if (listening_) return listening_;
  mode_ = Mode::Separate;
  std::error_code ec;
  const asio::ip::tcp::endpoint at(asio::ip::address_v4(localIp.ip), 0);
  acceptor_.open(at.protocol(), ec);
  if (!ec) acceptor_.bind(at, ec);
  if (!ec) acceptor_.listen(1, ec);
  asio::ip::tcp::endpoint bound;
  if (!ec) bound = acceptor_.local_endpoint(ec);
  if (ec) {
    PTRACE(2, "H245", "cannot listen for H.245 on " << AddressText(localIp) << ": " << ec.message());
    std::error_code ignored;
    acceptor_.close(ignored);
    return std::nullopt;
  }
  listening_ = asn::Ipv4Address{localIp.ip, bound.port()};
  acceptor_.async_accept(strand_, [this, guard = Guard()](std::error_code ec, asio::ip::tcp::socket socket) {
    auto hold = guard.keep.lock();
    if (!hold || guard.life.expired() || closed_ || ec == asio::error::operation_aborted) return;
    std::error_code ignored;
    acceptor_.close(ignored);
    if (ec) {
      PTRACE(2, "H245", "accepting the H.245 connection failed: " << ec.message());
      if (!connecting_ && !channel_) owner_.OnH245Closed(ec);
      return;
    }
    if (channel_) return;  // our own connection was first
    PTRACE(3, "H245", "H.245 connection accepted");
    Adopt(std::make_shared<TpktChannel>(std::move(socket)));
  });
  return listening_;
}

void H245Transport::ConnectTo(const asn::Ipv4Address& address, std::chrono::milliseconds timeout) {
  if (channel_ || connecting_ || closed_) return;
  mode_ = Mode::Separate;
  connecting_ = true;
  connectingChannel_ = std::make_shared<TpktChannel>(strand_);
  PTRACE(3, "H245", "connecting to the H.245 address " << AddressText(address));
  connectingChannel_->Connect(address, timeout, [this, guard = Guard()](std::error_code ec) {
    auto hold = guard.keep.lock();
    if (!hold || guard.life.expired() || closed_) return;
    connecting_ = false;
    auto channel = std::move(connectingChannel_);
    if (channel_) {  // the far end's connection to us came first
      if (channel) channel->Close();
      return;
    }
    if (ec) {
      PTRACE(2, "H245", "H.245 connection failed: " << ec.message());
      if (channel) channel->Close();
      if (!acceptor_.is_open()) owner_.OnH245Closed(ec);
      return;
    }
    std::error_code ignored;
    acceptor_.close(ignored);
    Adopt(std::move(channel));
  });
}

void H245Transport::Adopt(std::shared_ptr<TpktChannel> channel) {
  channel_ = std::move(channel);
  connected_ = true;
  channel_->Start(
      [this, guard = Guard()](TpktChannel::Bytes payload) {
        auto hold = guard.keep.lock();
        if (!hold || guard.life.expired() || closed_) return;
        Receive(payload);
      },
      [this, guard = Guard()](std::error_code ec) {
        auto hold = guard.keep.lock();
        if (!hold || guard.life.expired() || closed_) return;
        connected_ = false;
        owner_.OnH245Closed(ec);
      });
  owner_.OnH245Connected();
  FlushToChannel();
}

bool H245Transport::Send(const asn::Value& message) {
  if (closed_) return false;
  auto bytes = asn::Encode(message);
  if (!bytes) {
    PTRACE(1, "H245", "cannot encode " << message.TypeName() << ": " << bytes.Error().Message());
    return false;
  }
  if (queue_.size() >= kMaxQueued) {
    PTRACE(2, "H245", "H.245 queue full: the far end takes no messages");
    return false;
  }
  queue_.push_back(std::move(*bytes));
  if (mode_ == Mode::Tunnelled)
    owner_.OnTunnelledPending();
  else
    FlushToChannel();
  return true;
}

void H245Transport::FlushToChannel() {
  if (!channel_ || !connected_) return;
  while (!queue_.empty()) {
    channel_->Send(queue_.front());
    queue_.pop_front();
  }
}

std::vector<Octets> H245Transport::TakeTunnelled() {
  std::vector<Octets> out;
  if (mode_ != Mode::Tunnelled) return out;
  out.assign(std::make_move_iterator(queue_.begin()), std::make_move_iterator(queue_.end()));
  queue_.clear();
  return out;
}

void H245Transport::ReceiveTunnelled(const std::vector<Octets>& messages) {
  for (const Octets& m : messages) {
    if (closed_) return;
    Receive(m);
  }
}

void H245Transport::Receive(std::span<const std::uint8_t> bytes) {
  auto message = asn::Decode(asn::h245::MultimediaSystemControlMessage::Id, bytes);
  if (!message) {
    PTRACE(2, "H245", "dropped an H.245 message that does not decode: " << message.Error().Message());
    return;
  }
  owner_.OnH245Message(*message);
}

void H245Transport::Shutdown() { End(true); }

void H245Transport::Close() {
  if (closed_ && !channel_) return;
  End(false);
}

void H245Transport::End(bool graceful) {
  closed_ = true;
  std::error_code ignored;
  acceptor_.close(ignored);
  if (connectingChannel_) connectingChannel_->Close();
  if (channel_) graceful ? channel_->Shutdown() : channel_->Close();
  connectingChannel_.reset();
  channel_.reset();
  queue_.clear();
}

}  // namespace vantro::h225
