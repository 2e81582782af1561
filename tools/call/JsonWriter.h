#pragma once
// One JSON object written member by member, for --json output: strings escaped as JSON wants
// (control characters, quotes, backslashes; bytes that are no valid UTF-8 become U+FFFD), numbers
// that JSON can carry (a non-finite double becomes null), and nested objects.

#include <cstdint>
#include <string>
#include <string_view>

namespace vantro::tool {

class JsonWriter {
 public:
  JsonWriter& Add(std::string_view key, std::string_view value);
  JsonWriter& Add(std::string_view key, const char* value) { return Add(key, std::string_view(value)); }
  JsonWriter& Add(std::string_view key, std::int64_t value);
  JsonWriter& Add(std::string_view key, std::uint64_t value);
  JsonWriter& Add(std::string_view key, int value) { return Add(key, static_cast<std::int64_t>(value)); }
  JsonWriter& Add(std::string_view key, unsigned value) { return Add(key, static_cast<std::uint64_t>(value)); }
  JsonWriter& Add(std::string_view key, double value);
  JsonWriter& Add(std::string_view key, bool value);
  JsonWriter& Add(std::string_view key, const JsonWriter& object);
  JsonWriter& AddNull(std::string_view key);

  bool Empty() const { return body_.empty(); }
  // The object: "{...}".
  std::string Text() const { return "{" + body_ + "}"; }

  static std::string Quote(std::string_view text);

 private:
  JsonWriter& Raw(std::string_view key, std::string_view json);
  std::string body_;
};

}  // namespace vantro::tool
