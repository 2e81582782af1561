#pragma once
// Hex test vectors of messages captured between independent H.323 peers.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vantro::test {

struct CaptureVector {
  const char* name;  // capture, frame and message
  const char* hex;
};

extern const std::vector<CaptureVector> kRasVectors;   // RasMessage (UDP payload)
extern const std::vector<CaptureVector> kQ931Vectors;  // Q.931 message (TPKT payload)

inline std::vector<std::uint8_t> FromHex(const std::string& hex) {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

inline std::string ToHex(const std::vector<std::uint8_t>& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (std::uint8_t b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

// The octets of the first vector of the list whose name starts with prefix.
inline std::vector<std::uint8_t> VectorBytes(const std::vector<CaptureVector>& list, std::string_view prefix) {
  for (const auto& v : list)
    if (std::string_view(v.name).starts_with(prefix)) return FromHex(v.hex);
  throw std::invalid_argument("no capture vector " + std::string(prefix));
}

}  // namespace vantro::test
