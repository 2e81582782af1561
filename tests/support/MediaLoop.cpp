#include "tests/support/MediaLoop.h"

#include "tests/support/SharedAudio.h"

namespace vantro::test {

using namespace endpoint;

MediaLoop::MediaLoop(const Config& config) {
  MediaOptions options;
  options.rtpPortBase = 41000;
  options.rtpPortMax = 41999;
  const asn::Ipv4Address loopback{{127, 0, 0, 1}, 0};
  sending_ = OpenRtpSession(kAudioSessionID, loopback, options, &error_);
  if (sending_) receiving_ = OpenRtpSession(kAudioSessionID, loopback, options, &error_);
  if (!receiving_) return;
  Connect(config, sending_, receiving_, forward_, 1);
  if (config.duplex) Connect(config, receiving_, sending_, back_, 3);
}

void MediaLoop::Connect(const Config& config, std::shared_ptr<H323RtpSession> from, std::shared_ptr<H323RtpSession> to,
                        Direction& d, unsigned firstNumber) {
  d.source = std::make_shared<SignalAudioSource>(config.signal);
  d.sink = std::make_shared<RecordingAudioSink>();
  MediaOptions options;
  options.jitterMinimumMs = config.jitterMinimumMs;
  options.devices.openSource = config.devices.openSource ? config.devices.openSource : [s = d.source](const auto&) {
    return std::unique_ptr<AudioSource>(std::make_unique<SharedAudioSource<SignalAudioSource>>(s));
  };
  options.devices.openSink = config.devices.openSink ? config.devices.openSink : [s = d.sink](const auto&) {
    return std::unique_ptr<AudioSink>(std::make_unique<SharedAudioSink<RecordingAudioSink>>(s));
  };
  if (config.soundDevices) options.devices = {};
  options.recordDevice = config.recordDevice;
  options.playDevice = config.playDevice;

  const asn::Ipv4Address target = to->GetLocalDataAddress();
  if (config.relay) {
    d.relay = std::make_unique<UdpImpairmentRelay>(
        UdpImpairmentRelay::Endpoint(asio::ip::address_v4(target.ip), target.port), firstNumber);
    d.relay->SetImpairment(config.impairment);
    const auto via = d.relay->Address();
    from->SetRemoteDataAddress(asn::Ipv4Address{via.address().to_v4().to_bytes(), via.port()});
  } else {
    from->SetRemoteDataAddress(target);
  }
  from->SetRemoteControlAddress(to->GetLocalControlAddress());
  // The far end announces its own address; through a relay its packets come from another port. (A
  // session that sends too keeps the address it sends to: the relay's, of the same IP.)
  if (!to->GetRemoteDataAddress()) to->SetRemoteDataAddress(from->GetLocalDataAddress());
  to->SetRemoteControlAddress(from->GetLocalControlAddress());

  H323Channel::Parameters tx;
  tx.capability = config.capability;
  tx.direction = H323Channel::IsTransmitter;
  tx.number = firstNumber;
  H323Channel::Parameters rx = tx;
  rx.direction = H323Channel::IsReceiver;
  rx.number = firstNumber + 1;
  d.transmitter = CreateAudioChannel(from, tx, options);
  d.receiver = CreateAudioChannel(to, rx, options);
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
