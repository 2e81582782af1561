#pragma once
// Keeps the pace of a sound device for a stand-in that has none (silence in, audio dropped out):
// each wait returns when the samples asked for would have been played or recorded.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace vantro::endpoint {

class AudioPacer {
 public:
  explicit AudioPacer(unsigned sampleRate = 8000) : sampleRate_(sampleRate) {}
  // Waits for the time of samples more; false once aborted.
  bool Wait(std::size_t samples);
  void Abort();

 private:
  using Clock = std::chrono::steady_clock;
  const unsigned sampleRate_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool aborted_ = false;
  bool started_ = false;
  Clock::time_point deadline_{};
};

}  // namespace vantro::endpoint
