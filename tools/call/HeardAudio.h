#pragma once
// What the far end's audio sounded like over one call: the average level of everything played
// (the mean of the absolute sample values, 0 for silence, at most 32768) and, when asked for, the
// samples themselves for --wav-out. The receive channel's thread adds, the main thread takes the
// result when the call has ended.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

namespace vantro::tool {

class HeardAudio {
 public:
  // A recording stops at an hour (8000 samples/s); the level goes on.
  static constexpr std::size_t kMaxRecordedSamples = 8000u * 3600u;

  explicit HeardAudio(bool record) : record_(record) {}

  void Add(std::span<const std::int16_t> samples);

  struct Result {
    double meanLevel = 0;
    std::uint64_t samples = 0;            // how many were heard (8000 a second)
    std::vector<std::int16_t> recording;  // empty unless recording
    bool truncated = false;               // the recording reached its limit
  };
  // The result so far; starts afresh for the next call.
  Result Take();

 private:
  const bool record_;
  std::mutex mutex_;
  std::uint64_t sumAbs_ = 0;
  std::uint64_t count_ = 0;
  std::vector<std::int16_t> recording_;
  bool truncated_ = false;
};

}  // namespace vantro::tool
