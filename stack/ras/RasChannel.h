#pragma once
// One UDP socket for RAS and the requests under way on it. A request is sent, and sent again after
// each timeout, until an answer comes from the peer (the gatekeeper's RAS address) with the
// request's sequence number, or the tries run out; RequestInProgress from the peer extends the
// wait. Datagrams from any other address, and answers that do not match, are dropped. Whatever
// else the peer sends (its own requests) goes to the request handler. A read that fails, or
// brings an empty datagram, is followed by a pause before the next read, doubling with each such
// read in a row (up to a second), so that a socket in a persistent fault does not spin the thread.
//
// Everything here runs on the io_context's thread; the callbacks are called there.

#include "stack/asn/Value.h"
#include "stack/ras/RasTimings.h"

#include <asio.hpp>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <system_error>
#include <vector>

namespace vantro::ras {

class RasChannel : public std::enable_shared_from_this<RasChannel> {
 public:
  using Endpoint = asio::ip::udp::endpoint;
  using Bytes = std::vector<std::uint8_t>;

  explicit RasChannel(asio::io_context& io);
  ~RasChannel();
  RasChannel(const RasChannel&) = delete;
  RasChannel& operator=(const RasChannel&) = delete;

  // Binds an ephemeral port on every interface and starts receiving.
  bool Open(std::error_code& ec);
  void Close();
  std::uint16_t LocalPort() const;

  // Only datagrams from this address are read.
  void SetPeer(const Endpoint& peer) { peer_ = peer; }
  const Endpoint& Peer() const { return peer_; }

  // A fresh sequence number (1 to 65535).
  unsigned NextSequenceNumber();

  enum class Outcome { Answered, TimedOut, TransportFailed, Cancelled };
  struct Answer {
    Outcome outcome = Outcome::TimedOut;
    asn::Value message;  // when answered
  };
  // Makes the datagram of one try (the tokens are made anew for each); nullopt when it cannot.
  using Build = std::function<std::optional<Bytes>()>;
  // Whether a datagram from the peer with the request's sequence number answers it.
  using Accept = std::function<bool(const asn::Value& message, std::span<const std::uint8_t> bytes)>;
  using Done = std::function<void(Answer)>;

  // Starts a request with this sequence number.
  void Request(unsigned seq, Build build, Accept accept, std::chrono::milliseconds timeout, int tries, Done done);
  // Ends every request under way with Cancelled.
  void CancelRequests();

  // What the peer sends that answers none of our requests.
  using RequestHandler = std::function<void(const asn::Value& message, std::span<const std::uint8_t> bytes)>;
  void SetRequestHandler(RequestHandler handler) { handler_ = std::move(handler); }

  // Sends one datagram (answers to the peer's requests). False on a socket error.
  bool Send(std::span<const std::uint8_t> bytes, const Endpoint& to);

  void SetTimings(const RasTimings& timings) { timings_ = timings; }

  // Reads that failed or brought nothing, so far (for diagnostics and tests).
  std::uint64_t ReceiveFaults() const { return receiveFaults_; }

 private:
  struct Pending {
    Build build;
    Accept accept;
    Done done;
    std::chrono::milliseconds timeout{};
    int triesLeft = 0;
    int extensions = 0;
    bool anySent = false;
    std::unique_ptr<asio::steady_timer> timer;
  };

  void Receive();
  void OnReceiveFault(const std::error_code& ec);
  void OnDatagram(std::span<const std::uint8_t> bytes);
  void SendTry(unsigned seq);
  void Arm(unsigned seq, std::chrono::milliseconds wait);
  void Finish(unsigned seq, Answer answer);

  asio::io_context& io_;
  asio::ip::udp::socket socket_;
  Endpoint peer_;
  Endpoint from_;
  std::array<std::uint8_t, 65536> buffer_{};
  std::map<unsigned, Pending> pending_;
  RequestHandler handler_;
  RasTimings timings_;
  unsigned seq_ = 0;
  asio::steady_timer retry_;
  std::chrono::milliseconds retryWait_{0};
  std::atomic<std::uint64_t> receiveFaults_{0};
};

}  // namespace vantro::ras
