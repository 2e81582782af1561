#include "stack/q931/InformationElements.h"

namespace vantro::q931 {

namespace {

constexpr std::uint8_t kExt = 0x80;

// Octets of an element's group: the octet and the ones that follow it while bit 8 is clear.
std::size_t GroupEnd(std::span<const std::uint8_t> c, std::size_t i) {
  while (i < c.size() && !(c[i] & kExt)) ++i;
  return i < c.size() ? i + 1 : i;
}

}  // namespace

std::optional<BearerCapability> BearerCapability::Decode(std::span<const std::uint8_t> c) {
  if (c.size() < 2) return std::nullopt;
  BearerCapability b;
  b.codingStandard = (c[0] >> 5) & 3;
  b.transferCapability = c[0] & 0x1f;
  std::size_t i = GroupEnd(c, 0);
  if (i >= c.size()) return std::nullopt;
  b.transferMode = (c[i] >> 5) & 3;
  b.transferRate = c[i] & 0x1f;
  bool last = c[i] & kExt;
  ++i;
  if (!last) i = GroupEnd(c, i);  // octets 4a/4b of packet mode, not used by H.225.0
  if (b.transferRate == RateMulti) {
    if (i >= c.size()) return std::nullopt;
    b.rateMultiplier = c[i] & 0x7f;
    ++i;
  }
  if (i < c.size() && ((c[i] >> 5) & 3) == 1) {
    b.layer1Protocol = c[i] & 0x1f;
    ++i;
  }
  b.more.assign(c.begin() + static_cast<std::ptrdiff_t>(i), c.end());
  return b;
}

std::vector<std::uint8_t> BearerCapability::Encode() const {
  std::vector<std::uint8_t> out;
  out.push_back(static_cast<std::uint8_t>(kExt | (codingStandard & 3) << 5 | (transferCapability & 0x1f)));
  out.push_back(static_cast<std::uint8_t>(kExt | (transferMode & 3) << 5 | (transferRate & 0x1f)));
  if (transferRate == RateMulti) out.push_back(static_cast<std::uint8_t>(kExt | (rateMultiplier.value_or(1) & 0x7f)));
  if (layer1Protocol) out.push_back(static_cast<std::uint8_t>(kExt | 0x20 | (*layer1Protocol & 0x1f)));
  out.insert(out.end(), more.begin(), more.end());
  return out;
}

std::optional<Cause> Cause::Decode(std::span<const std::uint8_t> c) {
  if (c.size() < 2) return std::nullopt;
  Cause k;
  k.codingStandard = (c[0] >> 5) & 3;
  k.location = c[0] & 0x0f;
  std::size_t i = GroupEnd(c, 0);  // octet 3a (recommendation) when bit 8 of octet 3 is clear
  if (i >= c.size()) return std::nullopt;
  k.value = c[i] & 0x7f;
  k.diagnostics.assign(c.begin() + static_cast<std::ptrdiff_t>(i + 1), c.end());
  return k;
}

std::vector<std::uint8_t> Cause::Encode() const {
  std::vector<std::uint8_t> out;
  out.push_back(static_cast<std::uint8_t>(kExt | (codingStandard & 3) << 5 | (location & 0x0f)));
  out.push_back(static_cast<std::uint8_t>(kExt | (value & 0x7f)));
  out.insert(out.end(), diagnostics.begin(), diagnostics.end());
  return out;
}

std::optional<ProgressIndicator> ProgressIndicator::Decode(std::span<const std::uint8_t> c) {
  if (c.size() < 2) return std::nullopt;
  return ProgressIndicator{static_cast<std::uint8_t>((c[0] >> 5) & 3), static_cast<std::uint8_t>(c[0] & 0x0f),
                           static_cast<std::uint8_t>(c[1] & 0x7f)};
}

std::vector<std::uint8_t> ProgressIndicator::Encode() const {
  return {static_cast<std::uint8_t>(kExt | (codingStandard & 3) << 5 | (location & 0x0f)),
          static_cast<std::uint8_t>(kExt | (description & 0x7f))};
}

std::optional<PartyNumber> PartyNumber::Decode(std::span<const std::uint8_t> c) {
  if (c.empty()) return std::nullopt;
  PartyNumber n;
  n.typeOfNumber = (c[0] >> 4) & 7;
  n.numberingPlan = c[0] & 0x0f;
  std::size_t i = 1;
  if (!(c[0] & kExt)) {
    if (c.size() < 2) return std::nullopt;
    n.presentation = (c[1] >> 5) & 3;
    n.screening = c[1] & 3;
    i = GroupEnd(c, 1);
  }
  for (; i < c.size(); ++i) {
    if (c[i] & kExt) return std::nullopt;  // digits are IA5 characters
    n.digits += static_cast<char>(c[i]);
  }
  return n;
}

std::vector<std::uint8_t> PartyNumber::Encode() const {
  std::vector<std::uint8_t> out;
  bool octet3a = presentation || screening;
  out.push_back(static_cast<std::uint8_t>((octet3a ? 0 : kExt) | (typeOfNumber & 7) << 4 | (numberingPlan & 0x0f)));
  if (octet3a)
    out.push_back(static_cast<std::uint8_t>(kExt | (presentation.value_or(0) & 3) << 5 | (screening.value_or(0) & 3)));
  for (char d : digits) out.push_back(static_cast<std::uint8_t>(d & 0x7f));
  return out;
}

}  // namespace vantro::q931
