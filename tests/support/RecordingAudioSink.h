#pragma once
// A stand-in for a loudspeaker that plays at once: takes audio at the pace of a player and keeps
// it, noting when each block was taken (the moment its first sample would be heard).

#include "stack/endpoint/AudioPacer.h"
#include "stack/endpoint/H323Channel.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

namespace vantro::test {

class RecordingAudioSink : public endpoint::AudioSink {
 public:
  bool Write(std::span<const std::int16_t> samples) override;
  void Abort() override { pacer_.Abort(); }

  std::vector<std::int16_t> Samples() const;
  // The time sample n was taken (steady clock), and the sample taken at a time.
  std::chrono::steady_clock::time_point TimeOf(std::uint64_t sample) const;
  std::uint64_t SampleAt(std::chrono::steady_clock::time_point time) const;

 private:
  endpoint::AudioPacer pacer_;
  mutable std::mutex mutex_;
  std::vector<std::int16_t> samples_;
  std::vector<std::pair<std::uint64_t, std::chrono::steady_clock::time_point>> blocks_;  // first sample, time
};

}  // namespace vantro::test
