#pragma once
// Media that moves nothing, for tests and fuzzers of call signalling: a session with fixed local
// addresses that records what the call told it, and channels that record their life. Thread-safe.

#include "stack/endpoint/H323Channel.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vantro::test {

class FakeRtpSession : public endpoint::H323RtpSession {
 public:
  FakeRtpSession(unsigned sessionID, const asn::Ipv4Address& localIp, std::uint16_t port)
      : id_(sessionID), data_{localIp.ip, port}, control_{localIp.ip, static_cast<std::uint16_t>(port + 1)} {}
  unsigned GetSessionID() const override { return id_; }
  asn::Ipv4Address GetLocalDataAddress() const override { return data_; }
  asn::Ipv4Address GetLocalControlAddress() const override { return control_; }
  void SetRemoteDataAddress(const asn::Ipv4Address& address) override;
  void SetRemoteControlAddress(const asn::Ipv4Address& address) override;
  std::optional<asn::Ipv4Address> GetRemoteDataAddress() const override;
  void Close() override {}

 private:
  unsigned id_;
  asn::Ipv4Address data_, control_;
  mutable std::mutex mutex_;
  std::optional<asn::Ipv4Address> remoteData_, remoteControl_;
};

class FakeChannel : public endpoint::H323Channel {
 public:
  FakeChannel(std::shared_ptr<endpoint::H323RtpSession> session, Parameters parameters)
      : session_(std::move(session)), parameters_(std::move(parameters)) {}
  Directions GetDirection() const override { return parameters_.direction; }
  unsigned GetSessionID() const override { return session_->GetSessionID(); }
  unsigned GetNumber() const override { return parameters_.number; }
  const endpoint::H323Capability& GetCapability() const override { return *parameters_.capability; }
  codecs::H323AudioCodec* GetCodec() const override { return nullptr; }
  bool Start() override {
    running_ = true;
    return true;
  }
  bool IsRunning() const override { return running_; }
  void Close() override { running_ = false; }
  bool IsPaused() const override { return paused_; }
  void SetPause(bool pause) override { paused_ = pause; }
  endpoint::ChannelStatistics GetStatistics() const override { return {}; }

 private:
  std::shared_ptr<endpoint::H323RtpSession> session_;
  Parameters parameters_;
  std::atomic<bool> running_{false};
  std::atomic<bool> paused_{false};
};

// Sessions on ports counted up from a base, and the channels they made, for a test to look at.
class FakeMedia {
 public:
  explicit FakeMedia(std::uint16_t firstPort = 40000) : nextPort_(firstPort) {}
  std::shared_ptr<endpoint::H323RtpSession> OpenSession(unsigned sessionID, const asn::Ipv4Address& localIp);
  std::unique_ptr<endpoint::H323Channel> CreateChannel(std::shared_ptr<endpoint::H323RtpSession> session,
                                                       const endpoint::H323Channel::Parameters& parameters);
  struct Made {
    endpoint::H323Channel::Directions direction;
    std::string format;
  };
  std::vector<Made> Channels() const;
  std::vector<std::shared_ptr<FakeRtpSession>> Sessions() const;

 private:
  mutable std::mutex mutex_;
  std::uint16_t nextPort_;
  std::vector<Made> channels_;
  std::vector<std::shared_ptr<FakeRtpSession>> sessions_;
};

}  // namespace vantro::test
