#include "tests/support/RecordingAudioSink.h"

#include <algorithm>

namespace vantro::test {

bool RecordingAudioSink::Write(std::span<const std::int16_t> samples) {
  {
    std::lock_guard lock(mutex_);
    blocks_.emplace_back(samples_.size(), std::chrono::steady_clock::now());
    samples_.insert(samples_.end(), samples.begin(), samples.end());
  }
  return pacer_.Wait(samples.size());
}

std::vector<std::int16_t> RecordingAudioSink::Samples() const {
  std::lock_guard lock(mutex_);
  return samples_;
}

std::chrono::steady_clock::time_point RecordingAudioSink::TimeOf(std::uint64_t sample) const {
  std::lock_guard lock(mutex_);
  auto it = std::upper_bound(blocks_.begin(), blocks_.end(), sample,
                             [](std::uint64_t s, const auto& block) { return s < block.first; });
  if (it == blocks_.begin()) return std::chrono::steady_clock::time_point::min();
  --it;
  return it->second + std::chrono::microseconds((sample - it->first) * 125);
}

std::uint64_t RecordingAudioSink::SampleAt(std::chrono::steady_clock::time_point time) const {
  std::lock_guard lock(mutex_);
  auto it = std::upper_bound(blocks_.begin(), blocks_.end(), time,
                             [](auto t, const auto& block) { return t < block.second; });
  if (it == blocks_.begin()) return 0;
  --it;
  const auto into = std::chrono::duration_cast<std::chrono::microseconds>(time - it->second).count() / 125;
  const std::uint64_t next = it + 1 == blocks_.end() ? samples_.size() : (it + 1)->first;
  return std::min<std::uint64_t>(it->first + static_cast<std::uint64_t>(into), next);
}

}  // namespace vantro::test
