#pragma once
// The two companding laws of G.711: 16-bit linear samples to 8-bit codes and back.

#include <cstdint>

namespace vantro::codecs {

std::uint8_t LinearToMuLaw(std::int16_t sample);
std::int16_t MuLawToLinear(std::uint8_t code);
std::uint8_t LinearToALaw(std::int16_t sample);
std::int16_t ALawToLinear(std::uint8_t code);

}  // namespace vantro::codecs
