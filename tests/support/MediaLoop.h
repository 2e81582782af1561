#pragma once
// Two audio channels of our own over 127.0.0.1: one sends a computed signal from an RTP session,
// one records on another, through an impairment relay unless left out. Duplex: the same back.

#include "stack/endpoint/H323Channel.h"
#include "tests/support/RecordingAudioSink.h"
#include "tests/support/SignalAudioSource.h"
#include "tests/support/UdpImpairmentRelay.h"

#include <memory>
#include <string>

namespace vantro::test {

class MediaLoop {
 public:
  struct Config {
    std::shared_ptr<const endpoint::H323Capability> capability;
    SignalAudioSource::Signal signal;
    bool relay = true;
    Impairment impairment;
    unsigned jitterMinimumMs = 28;
    endpoint::AudioDevices devices;  // in place of the signal and the recording, when set
    // The sound server's devices of these names instead (Source() and Sink() then stay unused).
    bool soundDevices = false;
    std::string recordDevice, playDevice;
    bool duplex = false;
  };

  explicit MediaLoop(const Config& config);
  ~MediaLoop();
  const std::string& Error() const { return error_; }  // empty when everything opened

  bool Start();
  void Close();

  // One direction of audio: forward from the sending session to the receiving one, Back() the other.
  struct Direction {
    std::shared_ptr<SignalAudioSource> source;
    std::shared_ptr<RecordingAudioSink> sink;
    std::unique_ptr<UdpImpairmentRelay> relay;
    std::unique_ptr<endpoint::H323Channel> transmitter, receiver;
  };

  SignalAudioSource& Source() { return *forward_.source; }
  RecordingAudioSink& Sink() { return *forward_.sink; }
  endpoint::H323Channel& Transmitter() { return *forward_.transmitter; }
  endpoint::H323Channel& Receiver() { return *forward_.receiver; }
  endpoint::H323RtpSession& SendingSession() { return *sending_; }
  endpoint::H323RtpSession& ReceivingSession() { return *receiving_; }
  std::shared_ptr<endpoint::H323RtpSession> SharedSendingSession() { return sending_; }
  std::shared_ptr<endpoint::H323RtpSession> SharedReceivingSession() { return receiving_; }
  UdpImpairmentRelay* Relay() { return forward_.relay.get(); }
  Direction& Back() { return back_; }

 private:
  void Connect(const Config& config, std::shared_ptr<endpoint::H323RtpSession> from,
               std::shared_ptr<endpoint::H323RtpSession> to, Direction& d, unsigned firstNumber);

  std::string error_;
  std::shared_ptr<endpoint::H323RtpSession> sending_, receiving_;
  Direction forward_, back_;
};

}  // namespace vantro::test
