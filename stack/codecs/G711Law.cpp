#include "stack/codecs/G711Law.h"

#include <array>

namespace vantro::codecs {

namespace {

// mu-law: the magnitude plus a bias of 33 (in 14-bit units, 132 in 16-bit ones) is coded as a
// segment (the position of its highest bit) and the four bits after that bit; all bits inverted.
constexpr int kMuBias = 0x84;
constexpr int kMuClip = 32635;

constexpr std::int16_t DecodeMu(std::uint8_t code) {
  const int u = static_cast<std::uint8_t>(~code);
  const int segment = (u >> 4) & 0x07;
  const int magnitude = ((((u & 0x0f) << 3) + kMuBias) << segment) - kMuBias;
  return static_cast<std::int16_t>((u & 0x80) ? -magnitude : magnitude);
}

// A-law: a 13-bit magnitude in eight segments, the first two linear; even bits inverted (0x55),
// the sign bit set for positive samples.
constexpr std::int16_t DecodeA(std::uint8_t code) {
  const int a = code ^ 0x55;
  const int segment = (a >> 4) & 0x07;
  int magnitude = (a & 0x0f) << 4;
  if (segment == 0)
    magnitude += 8;
  else
    magnitude = (magnitude + 0x108) << (segment - 1);
  return static_cast<std::int16_t>((a & 0x80) ? magnitude : -magnitude);
}

template <std::int16_t (*Decode)(std::uint8_t)>
constexpr std::array<std::int16_t, 256> Table() {
  std::array<std::int16_t, 256> t{};
  for (int i = 0; i < 256; ++i) t[static_cast<std::size_t>(i)] = Decode(static_cast<std::uint8_t>(i));
  return t;
}

constexpr auto kMuTable = Table<DecodeMu>();
constexpr auto kATable = Table<DecodeA>();

}  // namespace

std::uint8_t LinearToMuLaw(std::int16_t sample) {
  int value = sample;
  const int sign = value < 0 ? 0x80 : 0;
  if (sign) value = -value;
  if (value > kMuClip) value = kMuClip;
  value += kMuBias;
  int segment = 7;
  for (int mask = 0x4000; segment > 0 && !(value & mask); mask >>= 1) --segment;
  const int mantissa = (value >> (segment + 3)) & 0x0f;
  return static_cast<std::uint8_t>(~(sign | segment << 4 | mantissa));
}

std::int16_t MuLawToLinear(std::uint8_t code) { return kMuTable[code]; }

std::uint8_t LinearToALaw(std::int16_t sample) {
  int value = sample >> 3;  // 13 bits
  int mask = 0xd5;
  if (value < 0) {
    mask = 0x55;
    value = -value - 1;
  }
  int segment = 0;
  while (segment < 8 && value > (0x20 << segment) - 1) ++segment;
  if (segment >= 8) return static_cast<std::uint8_t>(0x7f ^ mask);
  const int mantissa = segment < 2 ? (value >> 1) & 0x0f : (value >> segment) & 0x0f;
  return static_cast<std::uint8_t>((segment << 4 | mantissa) ^ mask);
}

std::int16_t ALawToLinear(std::uint8_t code) { return kATable[code]; }

}  // namespace vantro::codecs
