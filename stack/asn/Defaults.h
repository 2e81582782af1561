#pragma once
// Completes a value under construction: H.245 and H.225.0 types have many mandatory components
// (BOOLEAN flags above all) whose plain value is the only sensible one. CompleteMandatory() gives
// every absent mandatory component, present or not yet chosen value, its type's plainest value:
// FALSE, the lower bound, the shortest string of the first permitted character, the first
// alternative, the fewest elements. What is already set stays as it is.

#include "stack/asn/Value.h"

namespace vantro::asn {

void CompleteMandatory(Value& v);

}  // namespace vantro::asn
