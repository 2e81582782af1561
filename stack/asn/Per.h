#pragma once
// Aligned PER (X.691, ALIGNED variant) for every type of the generated tables.
//
//   Result<std::vector<std::uint8_t>> bytes = asn::Encode(value);
//   Result<Value> msg = asn::Decode(h225::RasMessage::Id, datagram);
//
// Decode() never reads past its input, never creates more values than ValueBudget allows for its
// size and refuses nesting deeper than kMaxDepth; every failure is an Error, never a crash.

#include "stack/asn/Error.h"
#include "stack/asn/Value.h"

#include <cstdint>
#include <span>
#include <vector>

namespace vantro::asn {

inline constexpr unsigned kMaxDepth = 96;

// How many values (tree nodes: each component, alternative and element, present or not) a decode
// may create: one per kBitsPerValue bits of input, plus kBaseValues. Real messages need at most one
// per two bits (the shortest) and one per ten or more (the longer ones); a message that claims more
// fails with Errc::TooLarge before the values are made.
inline constexpr std::size_t kBitsPerValue = 2;
inline constexpr std::size_t kBaseValues = 512;
std::size_t ValueBudget(std::size_t octets);

// The complete encoding of a value: padded to whole octets, at least one octet.
Result<std::vector<std::uint8_t>> Encode(const Value& value);

// Decodes one value of the given type from the start of data. Octets after the encoding are
// ignored; consumed (when given) receives the number of octets the encoding took.
Result<Value> Decode(TypeId type, std::span<const std::uint8_t> data, std::size_t* consumed = nullptr);

}  // namespace vantro::asn
