#include "stack/rtp/RtpSession.h"

#include "runtime/PTrace.h"

#include <netinet/in.h>
#include <netinet/ip.h>
#include <pthread.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdio>
#include <random>

namespace vantro::rtp {

namespace {

// The pair a new session tries first, so that the sessions of consecutive calls take different
// ports and a late packet of one call does not reach the next.
std::atomic<unsigned> nextPair{0};

std::uint64_t NtpNow() {
  const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                      std::chrono::system_clock::now().time_since_epoch()).count();
  const std::uint64_t seconds = static_cast<std::uint64_t>(us / 1000000) + 2208988800u;
  const std::uint64_t fraction = (static_cast<std::uint64_t>(us % 1000000) << 32) / 1000000;
  return seconds << 32 | fraction;
}

std::uint32_t NtpMiddle(std::uint64_t ntp) { return static_cast<std::uint32_t>(ntp >> 16); }

void SetTypeOfService(asio::ip::udp::socket& socket, unsigned tos) {
  const int value = static_cast<int>(tos & 0xff);
  if (setsockopt(socket.native_handle(), IPPROTO_IP, IP_TOS, &value, sizeof value) != 0)
    PTRACE(2, "RTP", "cannot set the type of service " << tos << " on port " << socket.local_endpoint().port());
}

}  // namespace

RtpSession::RtpSession(const RtpSessionOptions& options)
    : options_(options), work_(asio::make_work_guard(io_)), data_(io_), control_(io_), reportTimer_(io_) {
  std::random_device rd;
  ssrc_ = rd();
  sequence_ = static_cast<std::uint16_t>(rd());
  timestampBase_ = rd();
  char cname[40];
  std::snprintf(cname, sizeof cname, "%08x%08x@vantro", rd(), rd());
  cname_ = cname;
  if (options_.clockRate == 0) options_.clockRate = 8000;
}

std::unique_ptr<RtpSession> RtpSession::Open(const RtpSessionOptions& options, std::string* error) {
  std::unique_ptr<RtpSession> session(new RtpSession(options));
  if (!session->Bind(error)) return nullptr;
  session->thread_ = std::thread([s = session.get()] { s->Run(); });
  char name[16];
  std::snprintf(name, sizeof name, "rtp-%u", session->localData_.port());
  pthread_setname_np(session->thread_.native_handle(), name);
  return session;
}

bool RtpSession::Bind(std::string* error) {
  const unsigned first = options_.portBase + (options_.portBase & 1u);
  if (first == 0 || first + 1 > options_.portMax) {
    if (error) *error = "the RTP port range " + std::to_string(options_.portBase) + "-" +
                        std::to_string(options_.portMax) + " holds no even/odd pair";
    return false;
  }
  const unsigned pairs = (options_.portMax - first + 1) / 2;
  const unsigned start = nextPair.load() % pairs;
  std::error_code ec;
  for (unsigned i = 0; i < pairs; ++i) {
    const unsigned index = (start + i) % pairs;
    const auto port = static_cast<std::uint16_t>(first + 2 * index);
    std::error_code dataError, controlError;
    data_.open(asio::ip::udp::v4(), dataError);
    if (!dataError) data_.bind(Endpoint(options_.localIp, port), dataError);
    if (!dataError) control_.open(asio::ip::udp::v4(), controlError);
    if (!dataError && !controlError) control_.bind(Endpoint(options_.localIp, static_cast<std::uint16_t>(port + 1)), controlError);
    if (!dataError && !controlError) {
      nextPair.store(index + 1);
      localData_ = data_.local_endpoint();
      localControl_ = control_.local_endpoint();
      if (options_.typeOfService) {
        SetTypeOfService(data_, options_.typeOfService);
        SetTypeOfService(control_, options_.typeOfService);
      }
      return true;
    }
    ec = dataError ? dataError : controlError;
    std::error_code ignored;
    data_.close(ignored);
    control_.close(ignored);
    // An address that cannot be bound at all fails on every port alike.
    if (ec == std::errc::address_not_available) break;
  }
  if (error) *error = "no free RTP port pair in " + std::to_string(first) + "-" + std::to_string(options_.portMax) +
                      " on " + options_.localIp.to_string() + ": " + ec.message();
  return false;
}

RtpSession::~RtpSession() {
  Close();
  if (thread_.joinable()) {
    if (thread_.get_id() == std::this_thread::get_id())
      thread_.detach();
    else
      thread_.join();
  }
}

void RtpSession::Run() {
  ReceiveData();
  ReceiveControl();
  ScheduleReport(true);
  for (;;) {
    try {
      io_.run();
      return;
    } catch (const std::exception& e) {
      PTRACE(1, "RTP", "session on port " << localData_.port() << ": " << e.what());
    }
  }
}

void RtpSession::Close() {
  std::call_once(closeOnce_, [this] {
    if (!thread_.joinable()) return;
    auto shutdown = [this] {
      {
        std::lock_guard lock(sendMutex_);
        closed_ = true;
      }
      SendReport(true);
      reportTimer_.cancel();
      std::error_code ignored;
      data_.close(ignored);
      control_.close(ignored);
      work_.reset();
    };
    if (thread_.get_id() == std::this_thread::get_id()) {
      shutdown();
      return;
    }
    asio::post(io_, shutdown);
    thread_.join();
  });
}

void RtpSession::SetRemoteDataAddress(const Endpoint& address) {
  std::lock_guard lock(addressMutex_);
  remoteData_ = address;
  if (source_ && source_->address() != address.address()) source_.reset();
}

void RtpSession::SetRemoteControlAddress(const Endpoint& address) {
  std::lock_guard lock(addressMutex_);
  remoteControl_ = address;
}

std::optional<RtpSession::Endpoint> RtpSession::GetRemoteDataAddress() const {
  std::lock_guard lock(addressMutex_);
  return remoteData_;
}

std::optional<RtpSession::Endpoint> RtpSession::GetSourceAddress() const {
  std::lock_guard lock(addressMutex_);
  return source_;
}

bool RtpSession::SendData(std::span<const std::uint8_t> payload, unsigned payloadType, std::uint32_t mediaTimestamp,
                          bool marker) {
  std::optional<Endpoint> to = GetRemoteDataAddress();
  if (!to) return false;
  std::lock_guard lock(sendMutex_);
  if (closed_) return false;
  RtpPacket packet;
  packet.marker = marker;
  packet.payloadType = static_cast<std::uint8_t>(payloadType);
  packet.sequence = sequence_;
  packet.timestamp = timestampBase_ + mediaTimestamp;
  packet.ssrc = ssrc_;
  packet.payload = payload;
  packet.Serialize(sendBytes_);
  // The socket is only read by the session's thread; a send from here goes straight to the kernel.
  const ssize_t sent = ::sendto(data_.native_handle(), sendBytes_.data(), sendBytes_.size(), 0, to->data(),
                                static_cast<socklen_t>(to->size()));
  if (sent != static_cast<ssize_t>(sendBytes_.size())) return false;
  ++sequence_;
  ++packetsSent_;
  octetsSent_ += payload.size();
  sentSinceReport_ = true;
  lastMediaTimestamp_ = mediaTimestamp;
  lastSendTime_ = Clock::now();
  return true;
}

void RtpSession::SetDataHandler(unsigned payloadType, DataHandler handler) {
  std::lock_guard lock(receiveMutex_);
  payloadType_ = handler ? std::optional<unsigned>(payloadType) : std::nullopt;
  handler_ = std::move(handler);
}

void RtpSession::ReceiveData() {
  data_.async_receive_from(asio::buffer(dataBuffer_), dataFrom_, [this](std::error_code ec, std::size_t n) {
    if (ec == asio::error::operation_aborted || !data_.is_open()) return;
    if (!ec) OnData(std::span<const std::uint8_t>(dataBuffer_.data(), n), dataFrom_, Clock::now());
    ReceiveData();
  });
}

void RtpSession::ReceiveControl() {
  control_.async_receive_from(asio::buffer(controlBuffer_), controlFrom_, [this](std::error_code ec, std::size_t n) {
    if (ec == asio::error::operation_aborted || !control_.is_open()) return;
    if (!ec) OnControl(std::span<const std::uint8_t>(controlBuffer_.data(), n), controlFrom_);
    ReceiveControl();
  });
}

bool RtpSession::TakeSource(const Endpoint& from) {
  std::lock_guard lock(addressMutex_);
  if (source_) return from == *source_;
  if (remoteData_ && from.address() != remoteData_->address()) return false;
  source_ = from;
  if (remoteData_ && from.port() != remoteData_->port())
    PTRACE(3, "RTP", "port " << localData_.port() << ": the far end sends from " << from << ", not from "
                             << *remoteData_ << "; taking that address");
  return true;
}

void RtpSession::OnData(std::span<const std::uint8_t> datagram, const Endpoint& from, Clock::time_point arrival) {
  RtpPacket::Error error = RtpPacket::Error::None;
  const std::optional<RtpPacket> packet = RtpPacket::Parse(datagram, &error);
  std::lock_guard lock(receiveMutex_);
  if (!packet) {
    ++(error == RtpPacket::Error::Truncated ? counts_.droppedTruncated : counts_.droppedVersion);
    return;
  }
  if (!payloadType_) {
    ++counts_.unclaimed;
    return;
  }
  if (packet->payloadType != *payloadType_) {
    ++counts_.droppedPayloadType;
    return;
  }
  if (!TakeSource(from)) {
    ++counts_.droppedSource;
    return;
  }

  bool newSource = false;
  if (!heard_) {
    heard_.emplace(packet->ssrc, packet->sequence, 1);
    newSource = true;
  }
  if (packet->ssrc != heard_->GetSsrc()) {
    // Another SSRC from the far end's address: taken in place of the old one once it has proven
    // itself with packets in sequence.
    if (!candidate_ || candidate_->GetSsrc() != packet->ssrc) candidate_.emplace(packet->ssrc, packet->sequence, 2);
    if (!candidate_->UpdateSequence(packet->sequence)) {
      ++counts_.droppedSequence;
      return;
    }
    PTRACE(3, "RTP", "port " << localData_.port() << ": the far end's source changed from " << heard_->GetSsrc()
                             << " to " << packet->ssrc);
    counts_.lost += heard_->GetCumulativeLost();
    heard_ = std::move(candidate_);
    candidate_.reset();
    ++counts_.sourceChanges;
    newSource = true;
  } else if (!heard_->UpdateSequence(packet->sequence)) {
    ++counts_.droppedSequence;
    return;
  }
  const std::int64_t us = std::chrono::duration_cast<std::chrono::microseconds>(arrival.time_since_epoch()).count();
  heard_->UpdateJitter(packet->timestamp, us * options_.clockRate / 1000000);
  ++counts_.packets;
  octetsReceived_ += packet->payload.size();
  if (handler_) handler_(*packet, arrival, newSource);
}

void RtpSession::OnControl(std::span<const std::uint8_t> datagram, const Endpoint& from) {
  bool fromFarEnd = false;
  {
    std::lock_guard lock(addressMutex_);
    for (const auto& known : {remoteControl_, remoteData_, source_})
      if (known && known->address() == from.address()) fromFarEnd = true;
  }
  const std::optional<RtcpCompound> report = fromFarEnd ? RtcpCompound::Parse(datagram) : std::nullopt;
  const std::uint64_t now = NtpNow();
  {
    std::lock_guard lock(receiveMutex_);
    if (!report) {
      ++counts_.rtcpDropped;
      return;
    }
    ++counts_.rtcpPackets;
    const bool ofHeard = heard_ && report->ssrc == heard_->GetSsrc();
    if (report->sender && (ofHeard || !heard_)) {
      lastSenderReport_ = NtpMiddle(report->sender->ntpTimestamp);
      lastSenderReportArrival_ = Clock::now();
    }
    if (report->bye && heard_) {
      const auto& gone = report->byeSources;
      if (std::find(gone.begin(), gone.end(), heard_->GetSsrc()) != gone.end()) {
        counts_.byeReceived = true;
        PTRACE(3, "RTP", "port " << localData_.port() << ": the far end said BYE" << (report->byeReason.empty() ? "" : ": ")
                                 << report->byeReason);
      }
    }
  }
  for (const RtcpReportBlock& block : report->reports) {
    if (block.ssrc != ssrc_) continue;
    std::lock_guard lock(sendMutex_);
    farEndReport_ = block;
    if (block.lastSenderReport != 0) {
      const auto units = static_cast<std::int32_t>(NtpMiddle(now) - block.lastSenderReport - block.delaySinceLastSenderReport);
      if (units >= 0) roundTripMs_ = units * 1000.0 / 65536.0;
    }
  }
}

void RtpSession::ScheduleReport(bool initial) {
  // RFC 3550 6.3: two members, the minimum interval (halved for the first report), spread by a
  // random factor of 0.5 to 1.5 and divided by e - 3/2.
  static thread_local std::mt19937 random{std::random_device{}()};
  std::uniform_real_distribution<double> spread(0.5, 1.5);
  const double ms = static_cast<double>(options_.rtcpInterval.count()) * (initial ? 0.5 : 1.0) * spread(random) / 1.21828;
  reportTimer_.expires_after(std::chrono::microseconds(static_cast<std::int64_t>(ms * 1000)));
  reportTimer_.async_wait([this](std::error_code ec) {
    if (ec) return;
    SendReport(false);
    ScheduleReport(false);
  });
}

std::optional<RtpSession::Endpoint> RtpSession::ControlDestination() const {
  std::lock_guard lock(addressMutex_);
  if (remoteControl_) return remoteControl_;
  if (remoteData_) return Endpoint(remoteData_->address(), static_cast<std::uint16_t>(remoteData_->port() + 1));
  return std::nullopt;
}

void RtpSession::SendReport(bool bye) {
  const std::optional<Endpoint> to = ControlDestination();
  if (!to || !control_.is_open()) return;
  RtcpCompound report;
  report.ssrc = ssrc_;
  report.cname = cname_;
  report.bye = bye;
  const std::uint64_t ntp = NtpNow();
  const Clock::time_point now = Clock::now();
  {
    std::lock_guard lock(sendMutex_);
    if (sentSinceReport_ || sentBeforeReport_) {
      RtcpSenderInfo info;
      info.ntpTimestamp = ntp;
      const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now - lastSendTime_).count();
      info.rtpTimestamp = timestampBase_ + lastMediaTimestamp_ +
                          static_cast<std::uint32_t>(elapsed * static_cast<std::int64_t>(options_.clockRate) / 1000000);
      info.packetCount = static_cast<std::uint32_t>(packetsSent_);
      info.octetCount = static_cast<std::uint32_t>(octetsSent_);
      report.sender = info;
    }
    // A sender reports as one until two report intervals have gone without data.
    sentBeforeReport_ = sentSinceReport_;
    sentSinceReport_ = false;
  }
  {
    std::lock_guard lock(receiveMutex_);
    if (heard_) {
      RtcpReportBlock block = heard_->MakeReportBlock();
      if (lastSenderReport_ != 0) {
        block.lastSenderReport = lastSenderReport_;
        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(now - lastSenderReportArrival_).count();
        block.delaySinceLastSenderReport = static_cast<std::uint32_t>(us * 65536 / 1000000);
      }
      report.reports.push_back(block);
    }
  }
  report.Serialize(reportBytes_);
  std::error_code ec;
  control_.send_to(asio::buffer(reportBytes_), *to, 0, ec);
  if (ec) PTRACE(4, "RTP", "port " << localControl_.port() << ": report to " << *to << " not sent: " << ec.message());
}

RtpSenderStatistics RtpSession::GetSenderStatistics() const {
  std::lock_guard lock(sendMutex_);
  RtpSenderStatistics s;
  s.ssrc = ssrc_;
  s.packets = packetsSent_;
  s.octets = octetsSent_;
  s.farEndReport = farEndReport_;
  s.roundTripMs = roundTripMs_;
  return s;
}

RtpReceiverStatistics RtpSession::GetReceiverStatistics() const {
  std::lock_guard lock(receiveMutex_);
  RtpReceiverStatistics s = counts_;
  s.octets = octetsReceived_;
  if (heard_) {
    s.ssrc = heard_->GetSsrc();
    s.lost += heard_->GetCumulativeLost();
    s.jitterMs = heard_->GetJitter() * 1000.0 / options_.clockRate;
  }
  return s;
}

}  // namespace vantro::rtp
