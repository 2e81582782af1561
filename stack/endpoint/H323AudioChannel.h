#pragma once
// What the two directions of audio share: the channel's identity, its codec, its session, the pause
// flag, and the thread that moves the audio (started by Start, ended by Close or by the session's
// Close) with the sound device it blocks on.

#include "stack/codecs/H323AudioCodec.h"
#include "stack/endpoint/H323Channel.h"
#include "stack/endpoint/H323RtpUdpSession.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

namespace vantro::endpoint {

class H323AudioChannel : public H323Channel {
 public:
  H323AudioChannel(std::shared_ptr<H323RtpUdpSession> session, const Parameters& parameters,
                   const MediaOptions& options, std::unique_ptr<codecs::H323AudioCodec> codec);
  ~H323AudioChannel() override;

  Directions GetDirection() const override { return parameters_.direction; }
  unsigned GetSessionID() const override { return session_->GetSessionID(); }
  unsigned GetNumber() const override { return parameters_.number; }
  const H323Capability& GetCapability() const override { return *parameters_.capability; }
  codecs::H323AudioCodec* GetCodec() const override { return codec_.get(); }

  bool Start() override;
  bool IsRunning() const override { return running_; }
  void Close() override;
  bool IsPaused() const override { return paused_; }
  void SetPause(bool pause) override;

  // Ends the thread and closes the device; the channel cannot start after this. Idempotent.
  void Stop();

 protected:
  // The RTP payload type of the channel's packets.
  unsigned GetPayloadType() const { return payloadType_; }
  // Runs on the channel's thread until Running() turns false.
  virtual void Main() = 0;
  // Before the thread starts and after it ended (under the channel's lock).
  virtual void OnStarting() {}
  virtual void OnStopped() {}
  bool Running() const { return !stopping_; }
  // How Stop interrupts the device the thread blocks on; set when the device changes, cleared
  // before it is destroyed.
  void SetDeviceAbort(std::function<void()> abort);
  // Logs a device's failure the first time only.
  void ReportOnce(bool& reported, std::string_view what);

  std::shared_ptr<H323RtpUdpSession> session_;
  const Parameters parameters_;
  const MediaOptions options_;
  const std::unique_ptr<codecs::H323AudioCodec> codec_;

 private:
  void Run();

  unsigned payloadType_;
  std::mutex stateMutex_;  // Start and Stop
  bool started_ = false;
  bool closed_ = false;
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<bool> stopping_{false};
  std::atomic<bool> paused_{false};
  std::mutex deviceMutex_;
  std::function<void()> abortDevice_;
};

// The channel of a capability, for the session the call opened; nullptr for another kind of session
// or a capability without a codec here.
std::unique_ptr<H323Channel> CreateAudioChannel(std::shared_ptr<H323RtpSession> session,
                                                const H323Channel::Parameters& parameters,
                                                const MediaOptions& options);

}  // namespace vantro::endpoint
