#pragma once
// The property every PER fuzz target checks: whatever decodes must encode, and the encoding must
// decode to the same value (unless it holds more values than the decoder's budget allows for its
// size). A violation aborts, which libFuzzer reports as a finding.

#include "stack/asn/Per.h"
#include "stack/asn/Text.h"

#include <cstdio>
#include <cstdlib>

namespace vantro::fuzz {

inline const asn::Value* DecodeAndCheck(asn::TypeId type, const std::uint8_t* data, std::size_t size, asn::Value& out) {
  asn::Result<asn::Value> v = asn::Decode(type, {data, size});
  if (!v.Ok()) return nullptr;
  (void)asn::ToText(*v);
  asn::Result<std::vector<std::uint8_t>> bytes = asn::Encode(*v);
  if (!bytes.Ok()) {
    std::fprintf(stderr, "decoded value does not encode: %s\n", bytes.Error().Message().c_str());
    std::abort();
  }
  asn::Result<asn::Value> again = asn::Decode(type, *bytes);
  // Octets the decoder skips (the rest of an open type, say) count towards the value budget of the
  // input but not of the shorter re-encoding: a value denser than the budget allows is refused.
  if (!again.Ok() && again.Error().code == asn::Errc::TooLarge) return nullptr;
  if (!again.Ok() || !(*again == *v)) {
    std::fprintf(stderr, "re-encoded value decodes differently\n");
    std::abort();
  }
  out = std::move(*v);
  return &out;
}

}  // namespace vantro::fuzz
