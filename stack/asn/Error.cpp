#include "stack/asn/Error.h"

namespace vantro::asn {

const char* ErrcName(Errc c) {
  switch (c) {
    case Errc::Truncated: return "input ends inside a value";
    case Errc::BadLength: return "malformed length";
    case Errc::OutOfRange: return "value outside its constraints";
    case Errc::BadCharacter: return "character outside the permitted alphabet";
    case Errc::TooDeep: return "nesting too deep";
    case Errc::TooLarge: return "too many values for the input";
    case Errc::Missing: return "mandatory value missing";
    case Errc::WrongType: return "value of the wrong type";
  }
  return "error";
}

std::string Error::Message() const {
  return std::string(ErrcName(code)) + " in " + where + " at bit " + std::to_string(bit);
}

}  // namespace vantro::asn
