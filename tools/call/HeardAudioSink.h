#pragma once
// The sink of a receive channel in vantro-call: everything the channel plays goes to a HeardAudio
// (level, recording) and then to a sound device, or nowhere at the pace of one. A device that
// fails is dropped and the sink goes on at its own pace, so that the level and the recording of
// the call stay whole.

#include "stack/endpoint/AudioPacer.h"
#include "stack/endpoint/H323Channel.h"
#include "tools/call/HeardAudio.h"

#include <atomic>
#include <memory>

namespace vantro::tool {

class HeardAudioSink : public endpoint::AudioSink {
 public:
  // device may be null: no sound device, the clock sets the pace.
  HeardAudioSink(std::shared_ptr<HeardAudio> heard, std::unique_ptr<endpoint::AudioSink> device);
  bool Write(std::span<const std::int16_t> samples) override;
  void Abort() override;

 private:
  std::shared_ptr<HeardAudio> heard_;
  const std::unique_ptr<endpoint::AudioSink> device_;
  bool deviceFailed_ = false;  // only the writing thread
  std::atomic<bool> aborted_{false};
  endpoint::AudioPacer pacer_;
};

}  // namespace vantro::tool
