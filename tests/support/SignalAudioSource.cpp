#include "tests/support/SignalAudioSource.h"

#include <algorithm>
#include <cmath>

namespace vantro::test {

bool SignalAudioSource::Read(std::span<std::int16_t> samples) {
  std::uint64_t first;
  {
    std::lock_guard lock(mutex_);
    first = next_;
  }
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = signal_(first + i);
  if (!pacer_.Wait(samples.size())) return false;
  std::lock_guard lock(mutex_);
  next_ = first + samples.size();
  blocks_.emplace_back(next_, std::chrono::steady_clock::now());
  return true;
}

std::chrono::steady_clock::time_point SignalAudioSource::TimeOf(std::uint64_t sample) const {
  std::lock_guard lock(mutex_);
  auto it = std::upper_bound(blocks_.begin(), blocks_.end(), sample,
                             [](std::uint64_t s, const auto& block) { return s < block.first; });
  if (it == blocks_.end()) return std::chrono::steady_clock::time_point::max();
  return it->second - std::chrono::microseconds((it->first - 1 - sample) * 125);
}

SignalAudioSource::Signal SignalAudioSource::Tone(double frequency, double amplitude) {
  return [=](std::uint64_t n) {
    return static_cast<std::int16_t>(
        std::lround(32767 * amplitude * std::sin(2 * M_PI * frequency * double(n) / 8000)));
  };
}

SignalAudioSource::Signal SignalAudioSource::Speech(double amplitude, double glide) {
  return [=](std::uint64_t n) {
    const double t = double(n) / 8000;
    const double phase = 2 * M_PI * 150 * t - glide / 0.7 * std::cos(2 * M_PI * 0.7 * t);  // the integral of the pitch
    double s = 0;
    for (int k = 1; k <= 24; ++k) {
      const double f = k * (150 + glide * std::sin(2 * M_PI * 0.7 * t));
      if (f > 3600) break;
      const double formants =
          1 + 2 * std::exp(-std::pow((f - 700) / 200, 2)) + std::exp(-std::pow((f - 1200) / 250, 2));
      s += formants / k * std::sin(k * phase);
    }
    const double syllable = 0.5 + 0.5 * std::sin(2 * M_PI * 4 * t);
    return static_cast<std::int16_t>(
        std::lround(std::clamp(32767 * amplitude * 0.33 * s * syllable * syllable, -32767.0, 32767.0)));
  };
}

}  // namespace vantro::test
