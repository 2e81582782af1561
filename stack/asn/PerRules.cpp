#include "stack/asn/PerRules.h"

#include <algorithm>

namespace vantro::asn::detail {

namespace {

constexpr std::string_view kNumeric = " 0123456789";
constexpr std::string_view kPrintable = " '()+,-./0123456789:=?ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

unsigned AlignedBits(std::size_t n) {
  unsigned b = 0;
  while ((std::size_t(1) << b) < n) ++b;
  unsigned p = 1;
  while (p < b) p *= 2;
  return b == 0 ? 0 : p;
}

}  // namespace

CharRules charRules(const TypeDesc& t) {
  CharRules r;
  std::size_t count = 0;
  std::uint32_t maxCode = 0;
  switch (t.charset) {
    case CharSet::General:
    case CharSet::None: r.knownMultiplier = false; return r;
    case CharSet::BMP:
      r.unit = 2;
      count = 65536;
      maxCode = r.hi = 65535;
      break;
    case CharSet::IA5:
      count = 128;
      maxCode = r.hi = 127;
      break;
    case CharSet::Visible:
      count = 95;
      r.lo = 32;
      maxCode = r.hi = 126;
      break;
    case CharSet::Numeric: r.alphabet = kNumeric; break;
    case CharSet::Printable: r.alphabet = kPrintable; break;
  }
  if (t.alphabet) r.alphabet = tables().alphabets[t.alphabet];
  if (!r.alphabet.empty()) {
    count = r.alphabet.size();
    maxCode = static_cast<unsigned char>(r.alphabet.back());
  }
  r.bits = AlignedBits(count);
  if (r.bits == 0) r.bits = 1;
  r.mapped = !r.alphabet.empty() && (r.bits >= 32 || maxCode > (1u << r.bits) - 1);
  return r;
}

long CharIndex(const CharRules& r, std::uint32_t ch) {
  if (r.alphabet.empty()) return ch >= r.lo && ch <= r.hi ? long(ch) : -1;
  if (ch > 0xff) return -1;
  auto c = static_cast<char>(ch);
  auto it = std::lower_bound(r.alphabet.begin(), r.alphabet.end(), c, [](char a, char b) {
    return static_cast<unsigned char>(a) < static_cast<unsigned char>(b);
  });
  if (it == r.alphabet.end() || *it != c) return -1;
  return r.mapped ? long(it - r.alphabet.begin()) : long(ch);
}

std::uint32_t CharAt(const CharRules& r, std::uint64_t index, bool& ok) {
  if (r.mapped) {
    ok = index < r.alphabet.size();
    return ok ? static_cast<unsigned char>(r.alphabet[index]) : 0;
  }
  ok = CharIndex(r, static_cast<std::uint32_t>(index)) >= 0;
  return static_cast<std::uint32_t>(index);
}

SizeRules sizeRules(const TypeDesc& t) {
  SizeRules s;
  s.lb = (t.flags & flag::HasLb) ? static_cast<std::uint64_t>(t.lb) : 0;
  s.hasUb = t.flags & flag::HasUb;
  s.ub = s.hasUb ? static_cast<std::uint64_t>(t.ub) : 0;
  s.ext = t.flags & flag::ConstraintExt;
  return s;
}

}  // namespace vantro::asn::detail
