#pragma once
// How a call's H.245 messages travel: tunnelled in its call signalling messages (h245Control of
// the H323-UU-PDU), or on a TCP connection of their own, which we make to the far end's H.245
// address or the far end makes to ours.
//
// Tunnelled messages wait in a queue until a signalling message takes them (TakeTunnelled); the
// connection sends a Facility as carrier when nothing else goes. On a connection of their own,
// messages sent before it is up wait likewise. The queue is bounded: an H.245 peer that floods us
// with requests we answer cannot make it grow without end (Send fails, and the call is cleared).
//
// Runs on the connection's strand; no handler runs after Close().

#include "stack/asn/H323Values.h"
#include "stack/asn/Value.h"
#include "stack/h225/H225Message.h"
#include "stack/h225/TpktChannel.h"

#include <asio.hpp>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace vantro::h225 {

class H245Transport {
 public:
  class Owner {
   public:
    virtual ~Owner() = default;
    // One MultimediaSystemControlMessage from the far end (tunnelled or not).
    virtual void OnH245Message(const asn::Value& message) = 0;
    // A connection of their own is up: H.245 may start.
    virtual void OnH245Connected() = 0;
    // The connection of their own ended by itself or could not be made.
    virtual void OnH245Closed(std::error_code ec) = 0;
    // Tunnelled messages wait for a carrier.
    virtual void OnTunnelledPending() = 0;
  };

  enum class Mode { Undecided, Tunnelled, Separate };
  static constexpr std::size_t kMaxQueued = 64;

  // keepAlive: the owner's own lifetime, which every handler of the transport holds while it runs.
  H245Transport(asio::any_io_executor strand, Owner& owner, std::weak_ptr<void> keepAlive);
  ~H245Transport();
  H245Transport(const H245Transport&) = delete;
  H245Transport& operator=(const H245Transport&) = delete;

  Mode GetMode() const { return mode_; }
  void UseTunnelling() { mode_ = Mode::Tunnelled; }
  // Listens for the far end's connection on localIp (port chosen by the system); our h245Address,
  // or nullopt when no socket could be opened.
  std::optional<asn::Ipv4Address> Listen(const asn::Ipv4Address& localIp);
  std::optional<asn::Ipv4Address> ListeningAddress() const { return listening_; }
  // Connects to the far end's h245Address (unless a connection is up or under way).
  void ConnectTo(const asn::Ipv4Address& address, std::chrono::milliseconds timeout);
  bool IsConnected() const { return channel_ && connected_; }
  bool IsConnecting() const { return connecting_ || acceptor_.is_open(); }

  // Sends a MultimediaSystemControlMessage. False when it does not encode or the queue is full.
  bool Send(const asn::Value& message);
  // The tunnelled messages waiting for a carrier, oldest first; the queue is empty afterwards.
  std::vector<Octets> TakeTunnelled();
  bool HasTunnelledPending() const { return mode_ == Mode::Tunnelled && !queue_.empty(); }
  // Messages that came tunnelled in a signalling message.
  void ReceiveTunnelled(const std::vector<Octets>& messages);

  // Closes the connection of their own after what is queued went out.
  void Shutdown();
  void Close();

 private:
  void Adopt(std::shared_ptr<TpktChannel> channel);
  void Receive(std::span<const std::uint8_t> bytes);
  void FlushToChannel();

  asio::any_io_executor strand_;
  Owner& owner_;
  Mode mode_ = Mode::Undecided;
  asio::ip::tcp::acceptor acceptor_;
  std::optional<asn::Ipv4Address> listening_;
  std::shared_ptr<TpktChannel> channel_;
  std::shared_ptr<TpktChannel> connectingChannel_;
  bool connected_ = false;
  bool connecting_ = false;
  std::deque<Octets> queue_;
  std::weak_ptr<void> keepAlive_;
  bool closed_ = false;
};

}  // namespace vantro::h225
