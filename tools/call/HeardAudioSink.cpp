#include "tools/call/HeardAudioSink.h"

#include "runtime/PTrace.h"

namespace vantro::tool {

HeardAudioSink::HeardAudioSink(std::shared_ptr<HeardAudio> heard, std::unique_ptr<endpoint::AudioSink> device)
    : heard_(std::move(heard)), device_(std::move(device)), deviceFailed_(device_ == nullptr) {}

bool HeardAudioSink::Write(std::span<const std::int16_t> samples) {
  if (aborted_) return false;
  heard_->Add(samples);
  if (!deviceFailed_) {
    if (device_->Write(samples)) return true;
    if (aborted_) return false;
    deviceFailed_ = true;
    PTRACE(2, "Tool", "the play device failed; the far end's audio is measured but not played");
  }
  return pacer_.Wait(samples.size());
}

void HeardAudioSink::Abort() {
  aborted_ = true;
  pacer_.Abort();
  if (device_) device_->Abort();
}

}  // namespace vantro::tool
