#include "stack/endpoint/SilentAudioSource.h"

#include <algorithm>

namespace vantro::endpoint {

bool SilentAudioSource::Read(std::span<std::int16_t> samples) {
  std::fill(samples.begin(), samples.end(), std::int16_t(0));
  return pacer_.Wait(samples.size());
}

}  // namespace vantro::endpoint
