#include "stack/endpoint/H323ListenerTCP.h"

#include "runtime/PTrace.h"
#include "stack/asn/generated/H225.h"

namespace vantro::endpoint {

struct H323ListenerTCP::Waiter {
  std::shared_ptr<h225::TpktChannel> channel;
  std::unique_ptr<asio::steady_timer> timer;
  bool done = false;
};

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

void H323ListenerTCP::Start(SetupHandler onSetup) {
  onSetup_ = std::move(onSetup);
  Accept();
}

void H323ListenerTCP::Accept() {
  if (!acceptor_.is_open()) return;
  // Each connection gets a strand of its own: the call it becomes runs there.
  acceptor_.async_accept(
      asio::make_strand(io_), [self = shared_from_this()](std::error_code ec, asio::ip::tcp::socket socket) {
        if (ec == asio::error::operation_aborted || !self->acceptor_.is_open()) return;
        if (ec) {
          // Out of descriptors, say: try again later rather than spin, and later still each time.
          self->backoff_ = std::min(std::max(self->backoff_ * 2, std::chrono::milliseconds(50)), kMaxBackoff);
          PTRACE(2, "H225",
                 "accepting a call signalling connection failed: " << ec.message() << "; again in "
                                                                   << self->backoff_.count() << " ms");
          auto pause = std::make_shared<asio::steady_timer>(self->acceptor_.get_executor(), self->backoff_);
          pause->async_wait([self, pause](std::error_code) { self->Accept(); });
          return;
        }
        self->backoff_ = std::chrono::milliseconds(0);
        self->Wait(std::move(socket));
        self->Accept();
      });
}

void H323ListenerTCP::Wait(asio::ip::tcp::socket socket) {
  if (Waiting() >= kMaxWaiting) {
    PTRACE(2, "H225", "too many connections without a Setup; closed a new one");
    std::error_code ignored;
    socket.close(ignored);
    return;
  }
  auto waiter = std::make_shared<Waiter>();
  waiter->channel = std::make_shared<h225::TpktChannel>(std::move(socket));
  waiter->timer = std::make_unique<asio::steady_timer>(waiter->channel->GetExecutor());
  {
    std::lock_guard lock(mutex_);
    waiting_.insert(waiter);
  }
  std::weak_ptr<H323ListenerTCP> weak = shared_from_this();
  // Everything below runs on the connection's strand.
  asio::post(waiter->channel->GetExecutor(),
             [weak, waiter, timeout = std::chrono::milliseconds(idleTimeoutMs_.load())] {
               waiter->timer->expires_after(timeout);
               waiter->timer->async_wait([weak, waiter](std::error_code ec) {
                 if (ec || waiter->done) return;
                 PTRACE(2, "H225", "closed a call signalling connection that sent no Setup in time");
                 waiter->channel->Close();
                 if (auto self = weak.lock()) self->Done(waiter);
               });
               waiter->channel->Start(
                   [weak, waiter](h225::TpktChannel::Bytes payload) {
                     if (waiter->done) return;
                     waiter->timer->cancel();
                     auto self = weak.lock();
                     std::string error;
                     auto message = h225::H225Message::Decode(payload, &error);
                     const bool setup = message && message->Type() == q931::Q931Message::Setup &&
                                        message->BodyType() == asn::h225::H323_UU_PDU_h323_message_body::setup;
                     if (!setup || !self || !self->onSetup_) {
                       if (!setup)
                         PTRACE(2, "H225", "closed a call signalling connection that began without a Setup " << error);
                       waiter->channel->Close();
                       if (self) self->Done(waiter);
                       return;
                     }
                     self->Done(waiter);
                     // The call takes the channel over; what came after the Setup waits for it.
                     waiter->channel->Pause();
                     self->onSetup_(waiter->channel, std::move(*message));
                   },
                   [weak, waiter](std::error_code) {
                     waiter->timer->cancel();
                     if (auto self = weak.lock()) self->Done(waiter);
                   });
             });
}

void H323ListenerTCP::Done(const std::shared_ptr<Waiter>& waiter) {
  waiter->done = true;
  std::lock_guard lock(mutex_);
  waiting_.erase(waiter);
}

std::size_t H323ListenerTCP::Waiting() const {
  std::lock_guard lock(mutex_);
  return waiting_.size();
}

void H323ListenerTCP::Close() {
  std::error_code ignored;
  acceptor_.close(ignored);
  std::set<std::shared_ptr<Waiter>> waiting;
  {
    std::lock_guard lock(mutex_);
    waiting.swap(waiting_);
  }
  for (const auto& waiter : waiting)
    asio::post(waiter->channel->GetExecutor(), [waiter] {
      waiter->done = true;
      waiter->timer->cancel();
      waiter->channel->Close();
    });
}

asn::Ipv4Address H323ListenerTCP::LocalAddress() const {
  std::error_code ec;
  const auto local = acceptor_.local_endpoint(ec);
  if (ec) return {};
  return {local.address().to_v4().to_bytes(), local.port()};
}

}  // namespace vantro::endpoint
