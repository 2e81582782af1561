#pragma once
// The audio of vantro-call's calls, as its options say: what is sent (a WAV file, a recording
// device, or silence) and where the far end's audio goes (a WAV file, a playing device, or
// nowhere), always measured for the average level heard.
//
// Prepare reads and checks everything before the first call, so that a bad file or device name
// is told at once; the devices then plug into the endpoint (AudioDevices).

#include "stack/endpoint/H323Channel.h"
#include "tools/call/CallOptions.h"
#include "tools/call/HeardAudio.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vantro::tool {

class EventPrinter;

class CallAudio {
 public:
  // Reads --wav-in (converting another rate or channel count; note says so), checks the device
  // names and that --wav-out can be written. False with error set otherwise.
  bool Prepare(const CallOptions& options, std::string& error, std::string& note);

  // What the endpoint opens for each channel.
  endpoint::AudioDevices Devices() const;

  struct Heard {
    double meanLevel = 0;
    double seconds = 0;   // how long the far end's audio was played
    std::string wavPath;  // the recording written, when --wav-out
    std::string error;    // why it could not be written
    bool truncated = false;
  };
  // Ends the audio of a call: its level, and its recording written to --wav-out (the first call;
  // call n >= 2 to "NAME-n.wav").
  Heard FinishCall(unsigned callNumber);

  // The path of call n's recording.
  static std::string RecordingPath(const std::string& wavOut, unsigned callNumber);
  // --list-devices.
  static void ListDevices(EventPrinter& printer);

 private:
  std::shared_ptr<const std::vector<std::int16_t>> wavIn_;
  std::optional<std::string> recordDevice_;
  std::optional<std::string> playDevice_;
  std::string wavOut_;
  std::shared_ptr<HeardAudio> heard_;
};

}  // namespace vantro::tool
