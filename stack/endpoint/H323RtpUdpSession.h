#pragma once
// A call's RTP session over UDP: the RTP session of stack/rtp with the addresses in H.245's terms,
// and the channels that use it, which Close stops before the BYE goes out.

#include "stack/endpoint/H323Channel.h"
#include "stack/rtp/RtpSession.h"

#include <memory>
#include <mutex>
#include <vector>

namespace vantro::endpoint {

class H323AudioChannel;

class H323RtpUdpSession : public H323RtpSession {
 public:
  H323RtpUdpSession(unsigned sessionID, std::unique_ptr<rtp::RtpSession> rtp);
  ~H323RtpUdpSession() override;

  unsigned GetSessionID() const override { return sessionID_; }
  asn::Ipv4Address GetLocalDataAddress() const override;
  asn::Ipv4Address GetLocalControlAddress() const override;
  void SetRemoteDataAddress(const asn::Ipv4Address& address) override;
  void SetRemoteControlAddress(const asn::Ipv4Address& address) override;
  std::optional<asn::Ipv4Address> GetRemoteDataAddress() const override;
  void Close() override;

  rtp::RtpSession& GetRtp() { return *rtp_; }

  // A starting channel joins the session (false once it is closed); a closing one leaves it.
  bool Attach(H323AudioChannel* channel);
  void Detach(H323AudioChannel* channel);

 private:
  const unsigned sessionID_;
  std::unique_ptr<rtp::RtpSession> rtp_;
  std::mutex channelsMutex_;  // held while Close stops the channels
  std::vector<H323AudioChannel*> channels_;
  bool closed_ = false;
};

}  // namespace vantro::endpoint
