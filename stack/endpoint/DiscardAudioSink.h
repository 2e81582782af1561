#pragma once
// Takes audio at the pace of a player and drops it: where a receive channel plays when it has no
// sound device.

#include "stack/endpoint/AudioPacer.h"
#include "stack/endpoint/H323Channel.h"

namespace vantro::endpoint {

class DiscardAudioSink : public AudioSink {
 public:
  bool Write(std::span<const std::int16_t> samples) override { return pacer_.Wait(samples.size()); }
  void Abort() override { pacer_.Abort(); }

 private:
  AudioPacer pacer_;
};

}  // namespace vantro::endpoint
