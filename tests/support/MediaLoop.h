#pragma once
// Two audio channels of our own over 127.0.0.1: a transmit channel fed by a computed signal on one
// RTP session, a receive channel that records on another, and (unless left out) an impairment
// relay on the way between them. The receiving session is told the sender's own address, so the
// relay's port is one it latches onto. Duplex, the same again the other way on the same sessions,
// as in a call.

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
    unsigned jitterMaximumMs = 400;
    unsigned framesPerPacket = 0;
    std::uint16_t portBase = 41000;
    std::uint16_t portMax = 41999;
    // In place of the computed signal and the recording, when set.
    endpoint::AudioDevices devices;
    // The sound server's devices of these names instead (Source() and Sink() then stay unused).
    bool soundDevices = false;
    std::string recordDevice;
    std::string playDevice;
    bool duplex = false;
  };

  explicit MediaLoop(const Config& config);
  ~MediaLoop();
  // Empty when everything opened; else what failed.
  const std::string& Error() const { return error_; }

  bool Start();
  void Close();

  // One direction of audio: 0 from the sending session to the receiving one, 1 back (duplex).
  struct Direction {
    std::shared_ptr<SignalAudioSource> source;
    std::shared_ptr<RecordingAudioSink> sink;
    std::unique_ptr<UdpImpairmentRelay> relay;
    std::unique_ptr<endpoint::H323Channel> transmitter;
    std::unique_ptr<endpoint::H323Channel> receiver;
  };

  SignalAudioSource& Source() { return *forward_.source; }
  RecordingAudioSink& Sink() { return *forward_.sink; }
  endpoint::H323Channel& Transmitter() { return *forward_.transmitter; }
  endpoint::H323Channel& Receiver() { return *forward_.receiver; }
  endpoint::H323RtpSession& SendingSession() { return *sending_; }
  endpoint::H323RtpSession& ReceivingSession() { return *receiving_; }
  UdpImpairmentRelay* Relay() { return forward_.relay.get(); }
  Direction& Back() { return back_; }

 private:
  void Connect(const Config& config, endpoint::H323RtpSession& from, endpoint::H323RtpSession& to, Direction& d,
               unsigned firstNumber);

  std::string error_;
  std::shared_ptr<endpoint::H323RtpSession> sending_;
  std::shared_ptr<endpoint::H323RtpSession> receiving_;
  Direction forward_;
  Direction back_;
};

}  // namespace vantro::test
