#include "tools/call/JsonWriter.h"

#include <cmath>
#include <cstdio>

namespace vantro::tool {

namespace {

// The length of the UTF-8 sequence that starts text[i], or 0 when it is not a valid one.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char c = byte(i);
  std::size_t n = 0;
  std::uint32_t code = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
    code = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    code = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    code = c & 0x07;
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = code << 6 | (byte(i + k) & 0x3F);
  }
  // Overlong forms, surrogates and code points beyond Unicode are not UTF-8.
  if ((n == 3 && code < 0x800) || (n == 4 && (code < 0x10000 || code > 0x10FFFF)) || (code >= 0xD800 && code <= 0xDFFF))
    return 0;
  return n;
}

}  // namespace

std::string JsonWriter::Quote(std::string_view text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const std::size_t n = Utf8Length(text, i);
      if (n) {
        out.append(text.substr(i, n));
        i += n;
      } else {
        out += "\\ufffd";
        ++i;
      }
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
    ++i;
  }
  return out + "\"";
}

JsonWriter& JsonWriter::Raw(std::string_view key, std::string_view json) {
  if (!body_.empty()) body_ += ",";
  body_ += Quote(key);
  body_ += ":";
  body_ += json;
  return *this;
}

JsonWriter& JsonWriter::Add(std::string_view key, std::string_view value) { return Raw(key, Quote(value)); }
JsonWriter& JsonWriter::Add(std::string_view key, std::int64_t value) { return Raw(key, std::to_string(value)); }
JsonWriter& JsonWriter::Add(std::string_view key, std::uint64_t value) { return Raw(key, std::to_string(value)); }
JsonWriter& JsonWriter::Add(std::string_view key, bool value) { return Raw(key, value ? "true" : "false"); }
JsonWriter& JsonWriter::Add(std::string_view key, const JsonWriter& object) { return Raw(key, object.Text()); }
JsonWriter& JsonWriter::AddNull(std::string_view key) { return Raw(key, "null"); }

JsonWriter& JsonWriter::Add(std::string_view key, double value) {
  if (!std::isfinite(value)) return AddNull(key);
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", value);
  return Raw(key, text);
}

}  // namespace vantro::tool
