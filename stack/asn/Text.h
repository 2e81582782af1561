#pragma once
// A readable rendering of a value, with component and alternative names, for logs, test failure
// messages and diagnostics.

#include "stack/asn/Value.h"

#include <string>

namespace vantro::asn {

std::string ToText(const Value& v);

}  // namespace vantro::asn
