#pragma once
// The MD5 password hash (cryptoEPPwdHash) that gatekeepers check in registration, unregistration,
// admission and information messages.
//
// The hash is MD5 over the aligned-PER encoding of a ClearToken that never goes on the wire:
//   tokenOID  0.0
//   timeStamp the token's time stamp (seconds since 1970, UTC)
//   password  the password as 16-bit characters plus a terminating zero character
//   generalID the sender's alias as 16-bit characters plus a terminating zero character
// What goes on the wire is the alias, the time stamp and the 128-bit hash with algorithm MD5.

#include "stack/asn/Value.h"
#include "stack/h235/H235Crypto.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace vantro::h235 {

class H235AuthSimpleMD5 {
 public:
  // The hash; nullopt when the alias or the password is longer than a token can carry.
  static std::optional<Md5Digest> PasswordHash(std::string_view alias, std::string_view password,
                                               std::uint32_t timeStamp);

  // A CryptoH323Token (cryptoEPPwdHash); nullopt when the alias is empty or either text is too long.
  static std::optional<asn::Value> CreateCryptoToken(std::string_view alias, std::string_view password,
                                                     std::uint32_t timeStamp);

  // Checks a received CryptoH323Token against the password.
  static TokenCheck Validate(const asn::Value& cryptoH323Token, std::string_view password);
};

}  // namespace vantro::h235
