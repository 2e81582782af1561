#include "tools/call/WavAudioSource.h"

#include <algorithm>

namespace vantro::tool {

bool WavAudioSource::Read(std::span<std::int16_t> samples) {
  const std::vector<std::int16_t>& all = *samples_;
  const std::size_t n = std::min(samples.size(), all.size() - std::min(position_, all.size()));
  std::copy_n(all.begin() + static_cast<std::ptrdiff_t>(position_), n, samples.begin());
  std::fill(samples.begin() + static_cast<std::ptrdiff_t>(n), samples.end(), std::int16_t(0));
  position_ += n;
  return pacer_.Wait(samples.size());
}

}  // namespace vantro::tool
