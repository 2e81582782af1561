#pragma once
// A stand-in for a microphone: a computed signal at the pace of a recorder, noting when each block
// was handed over.

#include "stack/endpoint/AudioPacer.h"
#include "stack/endpoint/H323Channel.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace vantro::test {

class SignalAudioSource : public endpoint::AudioSource {
 public:
  using Signal = std::function<std::int16_t(std::uint64_t sample)>;
  explicit SignalAudioSource(Signal signal) : signal_(std::move(signal)) {}

  bool Read(std::span<std::int16_t> samples) override;
  void Abort() override { pacer_.Abort(); }

  // The time sample n was "spoken": its block was handed over when its last sample was.
  std::chrono::steady_clock::time_point TimeOf(std::uint64_t sample) const;

  // A sine of frequency Hz and amplitude (fraction of full scale).
  static Signal Tone(double frequency, double amplitude);
  // Something like a voice: the harmonics of a pitch gliding by glide Hz about 150 Hz, shaped by
  // two formants (700 and 1200 Hz), in syllables of four a second. amplitude: of its peaks, about.
  static Signal Speech(double amplitude, double glide = 30);

 private:
  Signal signal_;
  endpoint::AudioPacer pacer_;
  mutable std::mutex mutex_;
  std::uint64_t next_ = 0;
  std::vector<std::pair<std::uint64_t, std::chrono::steady_clock::time_point>> blocks_;  // first sample after
};

}  // namespace vantro::test
