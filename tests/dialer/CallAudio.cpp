#include "tests/dialer/CallAudio.h"

#include <algorithm>

#include "tests/support/SharedAudio.h"
#include "tests/support/SignalAudioSource.h"
#include "tests/support/SoundTestSupport.h"

using vantro::test::RecordingAudioSink;
using vantro::test::SignalAudioSource;

CallAudio::CallAudio(double tone, double amplitude) : m_tone(tone), m_amplitude(amplitude) {}

vantro::endpoint::AudioDevices CallAudio::Devices(bool loudspeaker) {
  vantro::endpoint::AudioDevices devices;
  devices.openSource = [tone = m_tone, amplitude = m_amplitude](const std::string&) {
    return std::make_unique<SignalAudioSource>(SignalAudioSource::Tone(tone, amplitude));
  };
  if (loudspeaker) {
    devices.openSink = [shared = m_shared](const std::string&) {
      auto sink = std::make_shared<RecordingAudioSink>();
      std::lock_guard lock(shared->mutex);
      shared->latest = sink;
      return std::make_unique<vantro::test::SharedAudioSink<RecordingAudioSink>>(sink);
    };
  }
  return devices;
}

double CallAudio::Heard(double frequency, std::chrono::milliseconds last) const {
  std::shared_ptr<RecordingAudioSink> sink;
  {
    std::lock_guard lock(m_shared->mutex);
    sink = m_shared->latest;
  }
  if (!sink) return 0;
  const std::vector<int16_t> samples = sink->Samples();
  const size_t n = std::min(samples.size(), size_t(last.count()) * 8);
  return ToneAmplitude(std::vector<int16_t>(samples.end() - std::ptrdiff_t(n), samples.end()), frequency);
}
