#include "stack/endpoint/H323RtpUdpSession.h"

#include "runtime/PTrace.h"
#include "stack/endpoint/H323AudioChannel.h"

#include <algorithm>

namespace vantro::endpoint {

namespace {

asn::Ipv4Address ToIpv4(const rtp::RtpSession::Endpoint& e) {
  asn::Ipv4Address a;
  a.ip = e.address().to_v4().to_bytes();
  a.port = e.port();
  return a;
}

rtp::RtpSession::Endpoint ToEndpoint(const asn::Ipv4Address& a) {
  return rtp::RtpSession::Endpoint(asio::ip::address_v4(a.ip), a.port);
}

}  // namespace

std::shared_ptr<H323RtpSession> OpenRtpSession(unsigned sessionID, const asn::Ipv4Address& localIp,
                                               const MediaOptions& options, std::string* error) {
  rtp::RtpSessionOptions o;
  o.localIp = asio::ip::address_v4(localIp.ip);
  o.portBase = options.rtpPortBase;
  o.portMax = options.rtpPortMax;
  o.typeOfService = options.typeOfService;
  std::string why;
  auto rtp = rtp::RtpSession::Open(o, &why);
  if (!rtp) {
    PTRACE(2, "Media", "cannot open RTP session " << sessionID << ": " << why);
    if (error) *error = why;
    return nullptr;
  }
  PTRACE(3, "Media", "RTP session " << sessionID << " on " << rtp->GetLocalDataAddress() << " and "
                                    << rtp->GetLocalControlAddress());
  return std::make_shared<H323RtpUdpSession>(sessionID, std::move(rtp));
}

H323RtpUdpSession::H323RtpUdpSession(unsigned sessionID, std::unique_ptr<rtp::RtpSession> rtp)
    : sessionID_(sessionID), rtp_(std::move(rtp)) {}

H323RtpUdpSession::~H323RtpUdpSession() { Close(); }

asn::Ipv4Address H323RtpUdpSession::GetLocalDataAddress() const { return ToIpv4(rtp_->GetLocalDataAddress()); }

asn::Ipv4Address H323RtpUdpSession::GetLocalControlAddress() const { return ToIpv4(rtp_->GetLocalControlAddress()); }

void H323RtpUdpSession::SetRemoteDataAddress(const asn::Ipv4Address& address) {
  rtp_->SetRemoteDataAddress(ToEndpoint(address));
}

void H323RtpUdpSession::SetRemoteControlAddress(const asn::Ipv4Address& address) {
  rtp_->SetRemoteControlAddress(ToEndpoint(address));
}

std::optional<asn::Ipv4Address> H323RtpUdpSession::GetRemoteDataAddress() const {
  const auto remote = rtp_->GetRemoteDataAddress();
  if (!remote) return std::nullopt;
  return ToIpv4(*remote);
}

bool H323RtpUdpSession::Attach(H323AudioChannel* channel) {
  std::lock_guard lock(channelsMutex_);
  if (closed_) return false;
  if (std::find(channels_.begin(), channels_.end(), channel) == channels_.end()) channels_.push_back(channel);
  return true;
}

void H323RtpUdpSession::Detach(H323AudioChannel* channel) {
  std::lock_guard lock(channelsMutex_);
  channels_.erase(std::remove(channels_.begin(), channels_.end(), channel), channels_.end());
}

void H323RtpUdpSession::Close() {
  {
    // A channel being destroyed waits in Detach until its Stop here is over.
    std::lock_guard lock(channelsMutex_);
    if (closed_) return;
    closed_ = true;
    for (H323AudioChannel* channel : channels_) channel->Stop();
    channels_.clear();
  }
  rtp_->Close();
}

}  // namespace vantro::endpoint
