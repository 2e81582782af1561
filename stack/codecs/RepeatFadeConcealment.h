#pragma once
// Concealment for a codec without its own: a lost stretch is filled by repeating the last pitch
// period heard (found by autocorrelation), at full level for 10 ms and then fading to silence over
// the next 50 ms. The first samples after the loss are blended from the made-up sound into the
// real one, so neither edge clicks.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vantro::codecs {

class RepeatFadeConcealment {
 public:
  // A frame decoded from a packet: remembered, and blended in when it follows made-up sound.
  void OnGoodFrame(std::span<std::int16_t> pcm);
  // Fills pcm with made-up sound.
  void Conceal(std::span<std::int16_t> pcm);

 private:
  static constexpr std::size_t kHistory = 320;  // 40 ms
  static constexpr std::size_t kBlend = 32;     // 4 ms

  void Remember(std::span<const std::int16_t> pcm);
  void FindPeriod();
  std::int16_t Next();

  std::array<std::int16_t, kHistory> history_{};  // the newest sample last
  std::vector<std::int16_t> period_;
  std::size_t periodPosition_ = 0;
  std::size_t concealed_ = 0;  // samples made up since the last frame that came
};

}  // namespace vantro::codecs
