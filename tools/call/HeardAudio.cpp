#include "tools/call/HeardAudio.h"

#include <cstdlib>

namespace vantro::tool {

void HeardAudio::Add(std::span<const std::int16_t> samples) {
  std::uint64_t sum = 0;
  for (std::int16_t s : samples) sum += static_cast<std::uint64_t>(std::abs(static_cast<int>(s)));
  std::lock_guard lock(mutex_);
  sumAbs_ += sum;
  count_ += samples.size();
  if (!record_) return;
  const std::size_t room = kMaxRecordedSamples - recording_.size();
  if (samples.size() > room) truncated_ = true;
  recording_.insert(recording_.end(), samples.begin(), samples.begin() + std::min(room, samples.size()));
}

HeardAudio::Result HeardAudio::Take() {
  std::lock_guard lock(mutex_);
  Result r;
  r.meanLevel = count_ ? static_cast<double>(sumAbs_) / static_cast<double>(count_) : 0.0;
  r.samples = count_;
  r.recording.swap(recording_);
  r.truncated = truncated_;
  sumAbs_ = count_ = 0;
  truncated_ = false;
  return r;
}

}  // namespace vantro::tool
