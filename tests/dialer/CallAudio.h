#pragma once

#include <chrono>
#include <memory>
#include <mutex>

#include "stack/endpoint/H323Channel.h"
#include "tests/support/RecordingAudioSink.h"

// A test endpoint's audio devices, made anew for every channel (a channel aborts its device for good
// when it ends): a tone for a microphone, and a loudspeaker that keeps what it plays (the latest
// call's stays at hand).
class CallAudio {
 public:
  // tone: the frequency the microphone hears (Hz), at amplitude (fraction of full scale).
  explicit CallAudio(double tone, double amplitude = 0.3);

  // Without a loudspeaker, the endpoint plays on its sound device.
  vantro::endpoint::AudioDevices Devices(bool loudspeaker = true);

  // How loud a frequency is in the last part of what the latest call's loudspeaker played.
  double Heard(double frequency, std::chrono::milliseconds last) const;

 private:
  struct Shared {
    std::mutex mutex;
    std::shared_ptr<vantro::test::RecordingAudioSink> latest;
  };
  double m_tone;
  double m_amplitude;
  std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
};
