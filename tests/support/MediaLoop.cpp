#include "tests/support/MediaLoop.h"

#include "tests/support/SharedAudio.h"

namespace vantro::test {

using namespace endpoint;

MediaLoop::MediaLoop(const Config& config)
    : source_(std::make_shared<SignalAudioSource>(config.signal)), sink_(std::make_shared<RecordingAudioSink>()) {
  MediaOptions options;
  options.jitterMinimumMs = config.jitterMinimumMs;
  options.jitterMaximumMs = config.jitterMaximumMs;
  options.rtpPortBase = config.portBase;
  options.rtpPortMax = config.portMax;
  options.devices.openSource = [s = source_](const std::string&) { return std::make_unique<SharedAudioSource<SignalAudioSource>>(s); };
  options.devices.openSink = [s = sink_](const std::string&) { return std::make_unique<SharedAudioSink<RecordingAudioSink>>(s); };
  if (config.devices.openSource) options.devices.openSource = config.devices.openSource;
  if (config.devices.openSink) options.devices.openSink = config.devices.openSink;
  if (config.soundDevices) options.devices = {};
  options.recordDevice = config.recordDevice;
  options.playDevice = config.playDevice;
  const asn::Ipv4Address loopback{{127, 0, 0, 1}, 0};
  sending_ = OpenRtpSession(kAudioSessionID, loopback, options, &error_);
  if (sending_) receiving_ = OpenRtpSession(kAudioSessionID, loopback, options, &error_);
  if (!receiving_) return;

  const asn::Ipv4Address target = receiving_->GetLocalDataAddress();
  if (config.relay) {
    relay_ = std::make_unique<UdpImpairmentRelay>(UdpImpairmentRelay::Endpoint(asio::ip::address_v4(target.ip), target.port));
    relay_->SetImpairment(config.impairment);
    const auto via = relay_->Address();
    sending_->SetRemoteDataAddress(asn::Ipv4Address{via.address().to_v4().to_bytes(), via.port()});
  } else {
    sending_->SetRemoteDataAddress(target);
  }
  sending_->SetRemoteControlAddress(receiving_->GetLocalControlAddress());
  receiving_->SetRemoteDataAddress(sending_->GetLocalDataAddress());
  receiving_->SetRemoteControlAddress(sending_->GetLocalControlAddress());

  H323Channel::Parameters tx;
  tx.capability = config.capability;
  tx.direction = H323Channel::IsTransmitter;
  tx.number = 1;
  tx.framesPerPacket = config.framesPerPacket;
  H323Channel::Parameters rx = tx;
  rx.direction = H323Channel::IsReceiver;
  rx.number = 2;
  transmitter_ = CreateAudioChannel(sending_, tx, options);
  receiver_ = CreateAudioChannel(receiving_, rx, options);
  if (!transmitter_ || !receiver_) error_ = "no channel for " + config.capability->GetFormatName();
}

MediaLoop::~MediaLoop() { Close(); }

bool MediaLoop::Start() { return error_.empty() && receiver_->Start() && transmitter_->Start(); }

void MediaLoop::Close() {
  if (transmitter_) transmitter_->Close();
  if (receiver_) receiver_->Close();
  if (sending_) sending_->Close();
  if (receiving_) receiving_->Close();
}

}  // namespace vantro::test
