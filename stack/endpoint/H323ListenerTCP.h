#pragma once
// The call signalling listener: a TCP socket that takes connections and waits on each for its
// first message. A Setup goes to the endpoint's handler together with its channel; anything
// else (another message, junk, a stream that is not TPKT, silence for longer than the idle
// timeout) closes the connection. At most kMaxWaiting connections wait at a time: more are closed
// at once, so that a flood of idle connections cannot take the descriptors or the memory.

#include "stack/asn/H323Values.h"
#include "stack/h225/H225Message.h"
#include "stack/h225/TpktChannel.h"

#include <asio.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <system_error>

namespace vantro::endpoint {

class H323ListenerTCP : public std::enable_shared_from_this<H323ListenerTCP> {
 public:
  // A Setup on a new connection; runs on the connection's strand (the channel's executor).
  using SetupHandler = std::function<void(std::shared_ptr<h225::TpktChannel> channel, h225::H225Message setup)>;
  static constexpr std::size_t kMaxWaiting = 64;
  // The longest pause after failed accepts.
  static constexpr std::chrono::milliseconds kMaxBackoff{2000};

  explicit H323ListenerTCP(asio::io_context& io) : io_(io), acceptor_(io) {}

  // Binds (address 0.0.0.0 for every interface; port 0 for one the system picks) and listens.
  bool Open(const asn::Ipv4Address& address, std::error_code& ec);
  // Starts taking connections; on the io_context's thread. Without a handler, every connection is
  // closed once its first message came.
  void Start(SetupHandler onSetup = {});
  void SetIdleTimeout(std::chrono::milliseconds timeout) { idleTimeoutMs_ = timeout.count(); }
  void Close();
  // Where it listens (the port the system picked, when asked to).
  asn::Ipv4Address LocalAddress() const;
  std::size_t Waiting() const;

 private:
  struct Waiter;
  void Accept();
  void Wait(asio::ip::tcp::socket socket);
  void Done(const std::shared_ptr<Waiter>& waiter);

  asio::io_context& io_;
  asio::ip::tcp::acceptor acceptor_;
  SetupHandler onSetup_;
  std::atomic<long long> idleTimeoutMs_{5000};
  std::chrono::milliseconds backoff_{0};  // on the io_context's thread
  mutable std::mutex mutex_;              // waiting_: waiters finish on their own strands
  std::set<std::shared_ptr<Waiter>> waiting_;
};

}  // namespace vantro::endpoint
