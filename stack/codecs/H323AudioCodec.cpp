#include "stack/codecs/H323AudioCodec.h"

#include "stack/codecs/G711Codec.h"
#include "stack/codecs/G7231Codec.h"
#include "stack/codecs/G729ACodec.h"

#include <cstdlib>

namespace vantro::codecs {

void H323AudioCodec::UpdateLevel(std::span<const std::int16_t> samples) {
  if (samples.empty()) return;
  std::uint64_t sum = 0;
  for (std::int16_t s : samples) sum += static_cast<std::uint64_t>(std::abs(static_cast<int>(s)));
  level_.store(static_cast<unsigned>(sum / samples.size()), std::memory_order_relaxed);
}

std::unique_ptr<H323AudioCodec> CreateAudioCodec(unsigned payloadType, H323AudioCodec::Direction direction) {
  switch (payloadType) {
    case 0: return std::make_unique<G711Codec>(G711Codec::MuLaw, direction);
    case 8: return std::make_unique<G711Codec>(G711Codec::ALaw, direction);
    case 4: return std::make_unique<G7231Codec>(direction);
    case 18: return std::make_unique<G729ACodec>(direction);
    default: return nullptr;
  }
}

}  // namespace vantro::codecs
