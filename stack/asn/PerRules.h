#pragma once
// Rules shared by the PER encoder and decoder: how a character string type packs its characters,
// how a size constraint is written, and the limits of the codec.

#include "stack/asn/Descriptor.h"

#include <cstdint>
#include <string_view>

namespace vantro::asn::detail {

// How the characters of a known-multiplier character string type are written (X.691 30.5).
struct CharRules {
  bool knownMultiplier = true;   // false: GeneralString, written as its octets
  unsigned bits = 8;             // bits per character in the ALIGNED variant
  unsigned unit = 1;             // octets per character in the value (BMPString: 2)
  std::string_view alphabet;     // permitted characters, sorted; empty: every code below 2^bits
  bool mapped = false;           // characters are written as their index in the alphabet
  std::uint32_t lo = 0, hi = 0;  // the permitted codes when there is no alphabet
};

CharRules charRules(const TypeDesc& t);

// Index of a character in the permitted alphabet (or its code), or -1 when not permitted.
long CharIndex(const CharRules& r, std::uint32_t ch);
std::uint32_t CharAt(const CharRules& r, std::uint64_t index, bool& ok);

// A size constraint as PER sees it.
struct SizeRules {
  std::uint64_t lb = 0;
  std::uint64_t ub = 0;
  bool hasUb = false;
  bool ext = false;
  bool Fixed() const { return hasUb && lb == ub; }
  // ub below 64K: a constrained length; otherwise (or unbounded) a general length determinant.
  bool ConstrainedLength() const { return hasUb && ub < 65536; }
  bool Within(std::uint64_t n) const { return n >= lb && (!hasUb || n <= ub); }
};

SizeRules sizeRules(const TypeDesc& t);

inline bool IsExtensible(const TypeDesc& t) { return t.flags & flag::Extensible; }

inline constexpr std::size_t kFragment = 16384;

}  // namespace vantro::asn::detail
