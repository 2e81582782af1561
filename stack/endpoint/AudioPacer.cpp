#include "stack/endpoint/AudioPacer.h"

namespace vantro::endpoint {

bool AudioPacer::Wait(std::size_t samples) {
  std::unique_lock lock(mutex_);
  const Clock::time_point now = Clock::now();
  // A caller that fell far behind (a stalled thread) starts afresh instead of rushing to catch up.
  if (!started_ || now - deadline_ > std::chrono::milliseconds(200)) deadline_ = now;
  started_ = true;
  deadline_ += std::chrono::microseconds(samples * 1000000 / sampleRate_);
  wake_.wait_until(lock, deadline_, [this] { return aborted_; });
  return !aborted_;
}

void AudioPacer::Abort() {
  {
    std::lock_guard lock(mutex_);
    aborted_ = true;
  }
  wake_.notify_all();
}

}  // namespace vantro::endpoint
