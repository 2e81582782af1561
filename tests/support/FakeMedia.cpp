#include "tests/support/FakeMedia.h"

namespace vantro::test {

void FakeRtpSession::SetRemoteDataAddress(const asn::Ipv4Address& address) {
  std::lock_guard lock(mutex_);
  remoteData_ = address;
}

void FakeRtpSession::SetRemoteControlAddress(const asn::Ipv4Address& address) {
  std::lock_guard lock(mutex_);
  remoteControl_ = address;
}

std::optional<asn::Ipv4Address> FakeRtpSession::GetRemoteDataAddress() const {
  std::lock_guard lock(mutex_);
  return remoteData_;
}

std::shared_ptr<endpoint::H323RtpSession> FakeMedia::OpenSession(unsigned sessionID, const asn::Ipv4Address& localIp) {
  std::lock_guard lock(mutex_);
  auto session = std::make_shared<FakeRtpSession>(sessionID, localIp, nextPort_);
  nextPort_ = static_cast<std::uint16_t>(nextPort_ + 2);
  sessions_.push_back(session);
  return session;
}

std::unique_ptr<endpoint::H323Channel> FakeMedia::CreateChannel(std::shared_ptr<endpoint::H323RtpSession> session,
                                                                const endpoint::H323Channel::Parameters& parameters) {
  std::lock_guard lock(mutex_);
  channels_.push_back({parameters.direction, parameters.capability->GetFormatName()});
  return std::make_unique<FakeChannel>(std::move(session), parameters);
}

std::vector<FakeMedia::Made> FakeMedia::Channels() const {
  std::lock_guard lock(mutex_);
  return channels_;
}

std::vector<std::shared_ptr<FakeRtpSession>> FakeMedia::Sessions() const {
  std::lock_guard lock(mutex_);
  return sessions_;
}

}  // namespace vantro::test
