#pragma once
// A transmit channel's audio from a WAV file already brought to 8000 samples/s mono: the samples
// once from the start, then silence, at the pace of a recorder. Each channel gets a source of its
// own over the same samples.

#include "stack/endpoint/AudioPacer.h"
#include "stack/endpoint/H323Channel.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace vantro::tool {

class WavAudioSource : public endpoint::AudioSource {
 public:
  explicit WavAudioSource(std::shared_ptr<const std::vector<std::int16_t>> samples) : samples_(std::move(samples)) {}
  bool Read(std::span<std::int16_t> samples) override;
  void Abort() override { pacer_.Abort(); }

 private:
  std::shared_ptr<const std::vector<std::int16_t>> samples_;
  std::size_t position_ = 0;
  endpoint::AudioPacer pacer_;
};

}  // namespace vantro::tool
