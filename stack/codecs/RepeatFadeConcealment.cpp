#include "stack/codecs/RepeatFadeConcealment.h"

#include <algorithm>
#include <cmath>

namespace vantro::codecs {

namespace {

constexpr std::size_t kFullLevel = 80;   // 10 ms at full level
constexpr std::size_t kFadeLength = 400; // then 50 ms down to silence
constexpr std::size_t kShortestPeriod = 20;
constexpr std::size_t kLongestPeriod = 160;
constexpr std::size_t kMatchLength = 80;

}  // namespace

void RepeatFadeConcealment::Remember(std::span<const std::int16_t> pcm) {
  if (pcm.size() >= kHistory) {
    std::copy(pcm.end() - kHistory, pcm.end(), history_.begin());
    return;
  }
  std::move(history_.begin() + static_cast<std::ptrdiff_t>(pcm.size()), history_.end(), history_.begin());
  std::copy(pcm.begin(), pcm.end(), history_.end() - static_cast<std::ptrdiff_t>(pcm.size()));
}

void RepeatFadeConcealment::FindPeriod() {
  // The lag at which the last 10 ms best match the sound before them.
  const std::int16_t* recent = history_.data() + kHistory - kMatchLength;
  double energy = 0;
  for (std::size_t i = 0; i < kMatchLength; ++i) energy += double(recent[i]) * recent[i];
  std::size_t best = kLongestPeriod;
  double bestScore = -2;
  for (std::size_t lag = kShortestPeriod; lag <= kLongestPeriod; ++lag) {
    const std::int16_t* earlier = recent - lag;
    double cross = 0, earlierEnergy = 0;
    for (std::size_t i = 0; i < kMatchLength; ++i) {
      cross += double(recent[i]) * earlier[i];
      earlierEnergy += double(earlier[i]) * earlier[i];
    }
    const double denominator = std::sqrt(energy * earlierEnergy);
    const double score = denominator > 0 ? cross / denominator : 0;
    if (score > bestScore + 1e-9) {
      bestScore = score;
      best = lag;
    }
  }
  period_.assign(history_.end() - static_cast<std::ptrdiff_t>(best), history_.end());
  periodPosition_ = 0;
}

std::int16_t RepeatFadeConcealment::Next() {
  const std::int16_t s = period_[periodPosition_];
  periodPosition_ = (periodPosition_ + 1) % period_.size();
  double gain = 1.0;
  if (concealed_ >= kFullLevel)
    gain = std::max(0.0, 1.0 - double(concealed_ - kFullLevel) / double(kFadeLength));
  ++concealed_;
  return static_cast<std::int16_t>(std::lround(s * gain));
}

void RepeatFadeConcealment::Conceal(std::span<std::int16_t> pcm) {
  if (concealed_ == 0) FindPeriod();
  for (std::int16_t& s : pcm) s = Next();
  Remember(pcm);
}

void RepeatFadeConcealment::OnGoodFrame(std::span<std::int16_t> pcm) {
  if (concealed_ > 0) {
    const std::size_t n = std::min(kBlend, pcm.size());
    for (std::size_t i = 0; i < n; ++i) {
      const double w = double(i + 1) / double(n + 1);
      pcm[i] = static_cast<std::int16_t>(std::lround(pcm[i] * w + Next() * (1 - w)));
    }
    concealed_ = 0;
  }
  Remember(pcm);
}

}  // namespace vantro::codecs
