#pragma once
// Errors of the PER codec and a small result type carrying either a value or an error.

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace vantro::asn {

enum class Errc {
  Truncated,     // the input ends inside a value
  BadLength,     // a length determinant is malformed or exceeds its bounds
  OutOfRange,    // a value, size or index outside the type's constraints
  BadCharacter,  // a character outside the permitted alphabet
  TooDeep,       // nesting beyond the decoder's limit
  TooLarge,      // more values than the input can account for, or an integer beyond 64 bits
  Missing,       // encode: a mandatory component or the alternative of a CHOICE is not set
  WrongType,     // a value's type does not match the component it stands in
};

struct Error {
  Errc code = Errc::Truncated;
  std::string where;    // type (and component) where it happened
  std::size_t bit = 0;  // bit offset in the input (decode) or output (encode)

  std::string Message() const;
};

const char* ErrcName(Errc c);

// Either a value or the error that prevented it.
template <class T>
class Result {
 public:
  Result(T value) : value_(std::move(value)) {}
  Result(asn::Error error) : error_(std::move(error)) {}

  bool Ok() const { return value_.has_value(); }
  explicit operator bool() const { return Ok(); }
  const asn::Error& Error() const { return error_; }

  T& Value() {
    if (!value_) throw std::logic_error("asn::Result: no value: " + error_.Message());
    return *value_;
  }
  const T& Value() const {
    if (!value_) throw std::logic_error("asn::Result: no value: " + error_.Message());
    return *value_;
  }
  T& operator*() { return Value(); }
  const T& operator*() const { return Value(); }
  T* operator->() { return &Value(); }
  const T* operator->() const { return &Value(); }

 private:
  std::optional<T> value_;
  asn::Error error_;
};

}  // namespace vantro::asn
