#pragma once
// The CAT clear token (access token of the algorithm 1.2.840.113548.10.1.2.1) that RADIUS-backed
// gatekeepers check in registration and admission requests:
//   tokenOID  1.2.840.113548.10.1.2.1
//   generalID the sender's alias as 16-bit characters plus a terminating zero character
//   timeStamp seconds since 1970, UTC
//   random    one octet, counted up for every token
//   challenge MD5 over: the random octet, the password's octets as typed, the time stamp as
//             32 bits, most significant octet first

#include "stack/asn/Value.h"
#include "stack/h235/H235Crypto.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace vantro::h235 {

class H235AuthCAT {
 public:
  static Md5Digest Challenge(std::uint8_t random, std::string_view password, std::uint32_t timeStamp);

  // A ClearToken; nullopt when the alias is empty or too long.
  static std::optional<asn::Value> CreateClearToken(std::string_view alias, std::string_view password,
                                                    std::uint32_t timeStamp, std::uint8_t random);

  // Checks a received ClearToken against the password.
  static TokenCheck Validate(const asn::Value& clearToken, std::string_view password);
};

}  // namespace vantro::h235
