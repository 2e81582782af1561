#pragma once
// Aligned PER (X.691, ALIGNED variant) for every type of the generated tables.
//
//   Result<std::vector<std::uint8_t>> bytes = asn::encode(value);
//   Result<Value> msg = asn::decode(h225::RasMessage::Id, datagram);
//
// decode() never reads past its input, never allocates more than the input can account for and
// refuses nesting deeper than kMaxDepth; every failure is an Error, never a crash.

#include "stack/asn/Error.h"
#include "stack/asn/Value.h"

#include <cstdint>
#include <span>
#include <vector>

namespace vantro::asn {

inline constexpr unsigned kMaxDepth = 96;

// The complete encoding of a value: padded to whole octets, at least one octet.
Result<std::vector<std::uint8_t>> encode(const Value& value);

// Decodes one value of the given type from the start of data. Octets after the encoding are
// ignored; consumed (when given) receives the number of octets the encoding took.
Result<Value> decode(TypeId type, std::span<const std::uint8_t> data, std::size_t* consumed = nullptr);

}  // namespace vantro::asn
