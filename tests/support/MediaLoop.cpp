#include "tests/support/MediaLoop.h"

#include "tests/support/SharedAudio.h"

namespace vantro::test {

using namespace endpoint;

MediaLoop::MediaLoop(const Config& config) {
  const asn::Ipv4Address loopback{{127, 0, 0, 1}, 0};
  MediaOptions options;
  options.rtpPortBase = config.portBase;
  options.rtpPortMax = config.portMax;
  sending_ = OpenRtpSession(kAudioSessionID, loopback, options, &error_);
  if (sending_) receiving_ = OpenRtpSession(kAudioSessionID, loopback, options, &error_);
  if (!receiving_) return;
  Connect(config, *sending_, *receiving_, forward_, 1);
  if (config.duplex) Connect(config, *receiving_, *sending_, back_, 3);
}

void MediaLoop::Connect(const Config& config, H323RtpSession& from, H323RtpSession& to, Direction& d,
                        unsigned firstNumber) {
  d.source = std::make_shared<SignalAudioSource>(config.signal);
  d.sink = std::make_shared<RecordingAudioSink>();
  MediaOptions options;
  options.jitterMinimumMs = config.jitterMinimumMs;
  options.jitterMaximumMs = config.jitterMaximumMs;
  options.devices.openSource = [s = d.source](const std::string&) { return std::make_unique<SharedAudioSource<SignalAudioSource>>(s); };
  options.devices.openSink = [s = d.sink](const std::string&) { return std::make_unique<SharedAudioSink<RecordingAudioSink>>(s); };
  if (config.devices.openSource) options.devices.openSource = config.devices.openSource;
  if (config.devices.openSink) options.devices.openSink = config.devices.openSink;
  if (config.soundDevices) options.devices = {};
  options.recordDevice = config.recordDevice;
  options.playDevice = config.playDevice;

  const asn::Ipv4Address target = to.GetLocalDataAddress();
  if (config.relay) {
    d.relay = std::make_unique<UdpImpairmentRelay>(UdpImpairmentRelay::Endpoint(asio::ip::address_v4(target.ip), target.port),
                                                   firstNumber);
    d.relay->SetImpairment(config.impairment);
    const auto via = d.relay->Address();
    from.SetRemoteDataAddress(asn::Ipv4Address{via.address().to_v4().to_bytes(), via.port()});
  } else {
    from.SetRemoteDataAddress(target);
  }
  from.SetRemoteControlAddress(to.GetLocalControlAddress());
  // The far end announces its own address; with a relay, its packets come from another port.
  to.SetRemoteDataAddress(from.GetLocalDataAddress());
  to.SetRemoteControlAddress(from.GetLocalControlAddress());

  H323Channel::Parameters tx;
  tx.capability = config.capability;
  tx.direction = H323Channel::IsTransmitter;
  tx.number = firstNumber;
  tx.framesPerPacket = config.framesPerPacket;
  H323Channel::Parameters rx = tx;
  rx.direction = H323Channel::IsReceiver;
  rx.number = firstNumber + 1;
  d.transmitter = CreateAudioChannel(sending_.get() == &from ? sending_ : receiving_, tx, options);
  d.receiver = CreateAudioChannel(receiving_.get() == &to ? receiving_ : sending_, rx, options);
  if (!d.transmitter || !d.receiver) error_ = "no channel for " + config.capability->GetFormatName();
}

MediaLoop::~MediaLoop() { Close(); }

bool MediaLoop::Start() {
  if (!error_.empty()) return false;
  for (Direction* d : {&forward_, &back_})
    if (d->receiver && (!d->receiver->Start() || !d->transmitter->Start())) return false;
  return true;
}

void MediaLoop::Close() {
  for (Direction* d : {&forward_, &back_}) {
    if (d->transmitter) d->transmitter->Close();
    if (d->receiver) d->receiver->Close();
  }
  if (sending_) sending_->Close();
  if (receiving_) receiving_->Close();
}

}  // namespace vantro::test
