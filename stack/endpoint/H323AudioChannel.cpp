#include "stack/endpoint/H323AudioChannel.h"

#include "runtime/PTrace.h"
#include "stack/endpoint/H323ReceiveChannel.h"
#include "stack/endpoint/H323TransmitChannel.h"

#include <pthread.h>

#include <cstdio>

namespace vantro::endpoint {

H323AudioChannel::H323AudioChannel(std::shared_ptr<H323RtpUdpSession> session, const Parameters& parameters,
                                   const MediaOptions& options, std::unique_ptr<codecs::H323AudioCodec> codec)
    : session_(std::move(session)),
      parameters_(parameters),
      options_(options),
      codec_(std::move(codec)),
      payloadType_(parameters.payloadType.value_or(parameters.capability->GetPayloadType()) & 0x7f) {}

H323AudioChannel::~H323AudioChannel() { Close(); }

bool H323AudioChannel::Start() {
  if (!codec_->IsOpen()) {
    PTRACE(1, "Media", "channel " << parameters_.number << ": the " << codec_->GetName() << " codec cannot run");
    return false;
  }
  if (!session_->Attach(this)) return false;
  std::lock_guard lock(stateMutex_);
  if (closed_) return false;
  if (started_) return true;
  started_ = true;
  OnStarting();
  running_ = true;
  thread_ = std::thread([this] { Run(); });
  char name[16];
  std::snprintf(name, sizeof name, "%s-%u", parameters_.direction == IsTransmitter ? "audio-tx" : "audio-rx",
                parameters_.number);
  pthread_setname_np(thread_.native_handle(), name);
  PTRACE(3, "Media", "channel " << parameters_.number << " started: " << codec_->GetName() << ", "
                                << (parameters_.direction == IsTransmitter ? "transmitting" : "receiving")
                                << " payload type " << payloadType_);
  return true;
}

void H323AudioChannel::Run() {
  try {
    Main();
  } catch (const std::exception& e) {
    PTRACE(1, "Media", "channel " << parameters_.number << " ended: " << e.what());
  } catch (...) {
    PTRACE(1, "Media", "channel " << parameters_.number << " ended by an unknown exception");
  }
  running_ = false;
}

void H323AudioChannel::Stop() {
  std::lock_guard lock(stateMutex_);
  closed_ = true;
  if (!started_) return;
  started_ = false;
  stopping_ = true;
  {
    std::lock_guard device(deviceMutex_);
    if (abortDevice_) abortDevice_();
  }
  if (thread_.joinable()) thread_.join();
  running_ = false;
  OnStopped();
  PTRACE(3, "Media", "channel " << parameters_.number << " stopped");
}

void H323AudioChannel::Close() {
  Stop();
  session_->Detach(this);
}

void H323AudioChannel::SetPause(bool pause) {
  if (paused_.exchange(pause) != pause)
    PTRACE(3, "Media", "channel " << parameters_.number << (pause ? " paused" : " resumed"));
}

void H323AudioChannel::SetDeviceAbort(std::function<void()> abort) {
  std::lock_guard lock(deviceMutex_);
  abortDevice_ = std::move(abort);
  if (stopping_ && abortDevice_) abortDevice_();
}

void H323AudioChannel::ReportOnce(bool& reported, std::string_view what) {
  if (reported) return;
  reported = true;
  PTRACE(2, "Media", "channel " << parameters_.number << ": " << what);
}

std::unique_ptr<H323Channel> CreateAudioChannel(std::shared_ptr<H323RtpSession> session,
                                                const H323Channel::Parameters& parameters,
                                                const MediaOptions& options) {
  auto udp = std::dynamic_pointer_cast<H323RtpUdpSession>(session);
  if (!udp || !parameters.capability) return nullptr;
  const bool transmit = parameters.direction == H323Channel::IsTransmitter;
  auto codec = codecs::CreateAudioCodec(parameters.capability->GetPayloadType(),
                                        transmit ? codecs::H323AudioCodec::Encoder : codecs::H323AudioCodec::Decoder);
  if (!codec) return nullptr;
  if (transmit) return std::make_unique<H323TransmitChannel>(std::move(udp), parameters, options, std::move(codec));
  return std::make_unique<H323ReceiveChannel>(std::move(udp), parameters, options, std::move(codec));
}

}  // namespace vantro::endpoint
