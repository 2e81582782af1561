#pragma once
// H.235.1 procedure I (baseline security profile, password-based): a cryptoHashedToken whose hash is
// HMAC-SHA1-96 over the whole encoded RAS message.
//
//   nestedcryptoToken.cryptoHashedToken
//     tokenOID   0.0.8.235.0.2.1 (all fields of the message)
//     hashedVals ClearToken: tokenOID 0.0.8.235.0.2.5, timeStamp, random (32 bits), generalID
//                (the receiver: the gatekeeper identifier), sendersID (the sender: the endpoint
//                identifier, or the alias before there is one)
//     token      algorithmOID 0.0.8.235.0.2.6, paramS empty, hash 96 bits
//
// The sender encodes the message with the 96 hash bits set to zero, computes HMAC-SHA1 over that
// encoding with the key SHA1(password), and puts the first 96 bits of the result in their place.
// The receiver zeroes the hash bits of what arrived and repeats the computation.

#include "stack/asn/Value.h"
#include "stack/h235/H235Crypto.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace vantro::h235 {

class H235AuthProcedure1 {
 public:
  static constexpr std::size_t kHashOctets = 12;
  using Hash = std::array<std::uint8_t, kHashOctets>;

  // A CryptoH323Token whose hash bits hold `marker` until Sign replaces them; sendersID or
  // generalID may be empty (then left out). nullopt when an identifier is too long.
  static std::optional<asn::Value> CreateCryptoToken(std::string_view sendersID, std::string_view generalID,
                                                     std::uint32_t timeStamp, std::uint32_t random, const Hash& marker);

  // Finds the marker in an encoded message (it must occur exactly once), and puts the hash of the
  // message there. False when the marker is not found once.
  static bool Sign(std::vector<std::uint8_t>& encoded, const Hash& marker, std::string_view password);

  // The hash of an encoded message whose hash bits are zero.
  static Hash Compute(std::span<const std::uint8_t> zeroedMessage, std::string_view password);

  // Checks a received CryptoH323Token of this kind against the message it arrived in.
  static TokenCheck Validate(std::span<const std::uint8_t> encoded, const asn::Value& cryptoH323Token,
                             std::string_view password);

  // The identifiers of a received token (empty when absent).
  static std::string SendersID(const asn::Value& cryptoH323Token);
  static std::string GeneralID(const asn::Value& cryptoH323Token);
};

}  // namespace vantro::h235
