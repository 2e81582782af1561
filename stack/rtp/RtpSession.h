#pragma once
// One RTP session (RFC 3550): a UDP socket for data on an even port and one for control (RTCP) on
// the next port, a thread of its own that receives on both and sends the reports, one source we
// send (random SSRC, sequence number and timestamp base) and one far-end source we hear.
//
// Data packets are taken only when they are version 2, whole, of the payload type the receiver
// asked for, and from the far end: its data address's IP; the first such packet fixes the source
// address (a peer behind NAT sends from another port than it announced) and no other source is
// taken after that. When the far end changes its SSRC, the new source is taken once two packets of
// it came in sequence. Everything else is dropped and counted.
//
// SendData may be called from any thread (one sender at a time); the data handler is called on the
// session's thread. Close (or destruction) sends BYE and joins the thread.

#include "stack/rtp/RtcpCompound.h"
#include "stack/rtp/RtpPacket.h"
#include "stack/rtp/RtpSource.h"

#include <asio.hpp>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace vantro::rtp {

struct RtpSessionOptions {
  asio::ip::address_v4 localIp;
  std::uint16_t portBase = 5000;  // the data port is the first free even port of the range
  std::uint16_t portMax = 5999;
  unsigned typeOfService = 0;     // IP type-of-service octet of both sockets
  unsigned clockRate = 8000;      // timestamp units per second
  // RFC 3550's minimum report interval; the first report goes after half of it. Tests shorten it.
  std::chrono::milliseconds rtcpInterval{5000};
};

struct RtpSenderStatistics {
  std::uint32_t ssrc = 0;
  std::uint64_t packets = 0;
  std::uint64_t octets = 0;  // payload octets
  // The far end's latest report on what we send.
  std::optional<RtcpReportBlock> farEndReport;
  std::optional<double> roundTripMs;
};

struct RtpReceiverStatistics {
  std::optional<std::uint32_t> ssrc;  // the source we hear
  std::uint64_t packets = 0;          // accepted (duplicates included, as RFC 3550 counts)
  std::uint64_t octets = 0;           // payload octets accepted
  std::int64_t lost = 0;              // expected minus received
  double jitterMs = 0;
  // Dropped: not version 2 (or shorter than a header), shorter than their headers say, another
  // payload type, another source address, a sequence jump not (yet) confirmed.
  std::uint64_t droppedVersion = 0;
  std::uint64_t droppedTruncated = 0;
  std::uint64_t droppedPayloadType = 0;
  std::uint64_t droppedSource = 0;
  std::uint64_t droppedSequence = 0;
  std::uint64_t unclaimed = 0;        // came while no receiver was set
  std::uint64_t sourceChanges = 0;    // SSRC changes taken
  std::uint64_t rtcpPackets = 0;      // valid RTCP from the far end
  std::uint64_t rtcpDropped = 0;      // malformed RTCP or RTCP from elsewhere
  bool byeReceived = false;
  std::uint64_t Dropped() const {
    return droppedVersion + droppedTruncated + droppedPayloadType + droppedSource + droppedSequence;
  }
};

class RtpSession {
 public:
  using Endpoint = asio::ip::udp::endpoint;
  using Clock = std::chrono::steady_clock;
  // Called on the session's thread for each packet taken, in arrival order. newSource: the first
  // packet of the source (the first one heard, or a new SSRC taken in place of the old).
  using DataHandler = std::function<void(const RtpPacket& packet, Clock::time_point arrival, bool newSource)>;

  // nullptr when no port pair of the range is free or the address cannot be bound (*error says why).
  static std::unique_ptr<RtpSession> Open(const RtpSessionOptions& options, std::string* error = nullptr);
  ~RtpSession();
  RtpSession(const RtpSession&) = delete;
  RtpSession& operator=(const RtpSession&) = delete;

  Endpoint GetLocalDataAddress() const { return localData_; }
  Endpoint GetLocalControlAddress() const { return localControl_; }

  // Where we send data and reports. A data address with another IP than the source fixed so far
  // frees the source again.
  void SetRemoteDataAddress(const Endpoint& address);
  void SetRemoteControlAddress(const Endpoint& address);
  std::optional<Endpoint> GetRemoteDataAddress() const;
  // The address the far end's data comes from, once fixed.
  std::optional<Endpoint> GetSourceAddress() const;

  // Sends one data packet. mediaTimestamp counts samples from the sender's own start (the session
  // adds its random base). False when no far end is known, the session is closed or sending failed.
  bool SendData(std::span<const std::uint8_t> payload, unsigned payloadType, std::uint32_t mediaTimestamp,
                bool marker);

  // Takes data packets of payloadType and hands them to handler; an empty handler takes none.
  // When this returns, an earlier handler is not running and will not be called again.
  void SetDataHandler(unsigned payloadType, DataHandler handler);

  RtpSenderStatistics GetSenderStatistics() const;
  RtpReceiverStatistics GetReceiverStatistics() const;

  // Sends BYE, closes the sockets and ends the thread. Idempotent.
  void Close();

 private:
  explicit RtpSession(const RtpSessionOptions& options);
  bool Bind(std::string* error);
  void Run();
  void ReceiveData();
  void ReceiveControl();
  void OnData(std::span<const std::uint8_t> datagram, const Endpoint& from, Clock::time_point arrival);
  void OnControl(std::span<const std::uint8_t> datagram, const Endpoint& from);
  bool TakeSource(const Endpoint& from);
  void ScheduleReport(bool initial);
  void SendReport(bool bye);
  std::optional<Endpoint> ControlDestination() const;

  RtpSessionOptions options_;
  asio::io_context io_;
  asio::executor_work_guard<asio::io_context::executor_type> work_;
  asio::ip::udp::socket data_;
  asio::ip::udp::socket control_;
  asio::steady_timer reportTimer_;
  Endpoint localData_;
  Endpoint localControl_;
  std::thread thread_;
  std::once_flag closeOnce_;
  std::string cname_;

  // On the session's thread only.
  std::array<std::uint8_t, 65536> dataBuffer_{};
  std::array<std::uint8_t, 2048> controlBuffer_{};
  Endpoint dataFrom_;
  Endpoint controlFrom_;
  std::vector<std::uint8_t> reportBytes_;

  mutable std::mutex addressMutex_;
  std::optional<Endpoint> remoteData_;
  std::optional<Endpoint> remoteControl_;
  std::optional<Endpoint> source_;

  mutable std::mutex sendMutex_;
  bool closed_ = false;
  std::uint32_t ssrc_ = 0;
  std::uint16_t sequence_ = 0;
  std::uint32_t timestampBase_ = 0;
  std::uint64_t packetsSent_ = 0;
  std::uint64_t octetsSent_ = 0;
  bool sentSinceReport_ = false;
  bool sentBeforeReport_ = false;
  std::uint32_t lastMediaTimestamp_ = 0;
  Clock::time_point lastSendTime_{};
  std::vector<std::uint8_t> sendBytes_;
  std::optional<RtcpReportBlock> farEndReport_;
  std::optional<double> roundTripMs_;

  mutable std::mutex receiveMutex_;  // also held while the data handler runs
  std::optional<unsigned> payloadType_;
  DataHandler handler_;
  std::optional<RtpSource> heard_;
  std::optional<RtpSource> candidate_;  // a new SSRC on probation
  std::uint64_t octetsReceived_ = 0;
  RtpReceiverStatistics counts_;
  std::uint32_t lastSenderReport_ = 0;  // middle of the NTP time of the far end's last SR
  Clock::time_point lastSenderReportArrival_{};
};

}  // namespace vantro::rtp
