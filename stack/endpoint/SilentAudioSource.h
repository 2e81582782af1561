#pragma once
// Silence at the pace of a recorder: what a transmit channel sends when it has no sound device.

#include "stack/endpoint/AudioPacer.h"
#include "stack/endpoint/H323Channel.h"

namespace vantro::endpoint {

class SilentAudioSource : public AudioSource {
 public:
  bool Read(std::span<std::int16_t> samples) override;
  void Abort() override { pacer_.Abort(); }

 private:
  AudioPacer pacer_;
};

}  // namespace vantro::endpoint
