#pragma once
// One TCP connection that carries TPKT-framed messages: a call's signalling channel (Q.931 with
// H.225.0), or an H.245 control channel of its own.
//
// Everything runs on the channel's strand (the executor of its socket): call every operation
// there, and the handlers run there. The channel keeps itself alive while an operation is under
// way and calls no handler after Close(). Buffers are bounded: a stream that is not TPKT, or a
// far end that does not read what we send (more than the backlog limit queued), ends the channel
// with an error.

#include "stack/asn/H323Values.h"

#include <asio.hpp>

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <system_error>
#include <vector>

#include "stack/q931/Tpkt.h"

namespace vantro::h225 {

class TpktChannel : public std::enable_shared_from_this<TpktChannel> {
 public:
  using Bytes = std::vector<std::uint8_t>;
  // One TPKT payload.
  using PacketHandler = std::function<void(Bytes payload)>;
  // Once, when the stream ends by itself: asio::error::eof when the far end closed it, the
  // socket's error, asio::error::invalid_argument for a stream that is not TPKT,
  // asio::error::no_buffer_space for a backlog above the limit.
  using CloseHandler = std::function<void(std::error_code ec)>;
  using ConnectHandler = std::function<void(std::error_code ec)>;

  // Sees every TPKT packet this process sends on any channel, as it goes out (for tests that hand
  // a whole call to an independent decoder). Called on the sending channel's strand.
  using WireTap = std::function<void(const asn::Ipv4Address& from, const asn::Ipv4Address& to,
                                     std::span<const std::uint8_t> tpkt)>;
  static void SetWireTap(WireTap tap);

  static constexpr std::size_t kMaxBacklog = 256 * 1024;
  // How long a channel shut down gracefully waits for the far end to close its side.
  static constexpr std::chrono::milliseconds kLinger{2000};

  // Not connected yet; its socket runs on strand.
  explicit TpktChannel(asio::any_io_executor strand);
  // An accepted connection; the socket's executor is the strand.
  explicit TpktChannel(asio::ip::tcp::socket socket);
  ~TpktChannel();
  TpktChannel(const TpktChannel&) = delete;
  TpktChannel& operator=(const TpktChannel&) = delete;

  asio::any_io_executor GetExecutor() const { return strand_; }

  // Connects to an IPv4 address; done runs once (asio::error::timed_out when the time ran out).
  void Connect(const asn::Ipv4Address& to, std::chrono::milliseconds timeout, ConnectHandler done);
  // Starts (or resumes) reading with these handlers.
  void Start(PacketHandler onPacket, CloseHandler onClose);
  // Delivers no more packets until the next Start (which delivers what came meanwhile first):
  // a packet handler hands the channel over to another owner this way.
  void Pause();
  // Frames and queues one payload. False when the channel is closed or the payload does not fit
  // in a TPKT; a backlog above the limit ends the channel (onClose).
  bool Send(std::span<const std::uint8_t> payload);
  // The same connection on another strand, with what was read but not yet delivered; this channel
  // is closed afterwards. For a paused channel without writes under way (an accepted connection
  // that goes to its call); nullptr otherwise.
  std::shared_ptr<TpktChannel> MoveTo(asio::any_io_executor strand);
  // Sends what is queued, then closes our side and lets the far end close its own (at most
  // kLinger). No handler runs afterwards.
  void Shutdown();
  // Closes at once. No handler runs afterwards.
  void Close();

  bool IsOpen() const { return socket_.is_open() && !closing_; }
  std::optional<asn::Ipv4Address> LocalAddress() const;
  std::optional<asn::Ipv4Address> RemoteAddress() const;
  std::size_t Backlog() const { return backlog_; }

 private:
  void Read();
  void Deliver();
  void Write();
  void Fail(std::error_code ec);
  void FinishShutdown();
  void Drain();
  void Drained(std::error_code ec);
  void DropHandlers();

  asio::any_io_executor strand_;
  asio::ip::tcp::socket socket_;
  asio::steady_timer timer_;
  q931::TpktReader reader_;
  std::array<std::uint8_t, 4096> buffer_{};
  std::deque<Bytes> queue_;
  std::size_t backlog_ = 0;
  bool writing_ = false;
  bool reading_ = false;
  bool paused_ = false;
  bool delivering_ = false;    // a packet handler runs
  bool handlersGone_ = false;  // dropped while it ran: gone once it returns
  bool closing_ = false;      // Shutdown or Close called, or failed
  bool shutdownPending_ = false;  // Shutdown waits for the queue to go out
  bool peerDone_ = false;         // the far end closed (or the socket failed) while shutting down
  PacketHandler onPacket_;
  CloseHandler onClose_;
};

}  // namespace vantro::h225
