#pragma once
// The digests the password authenticators need, and the object identifiers that name them.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace vantro::h235 {

using Md5Digest = std::array<std::uint8_t, 16>;
using Sha1Digest = std::array<std::uint8_t, 20>;

// MD5 over the parts, one after the other.
Md5Digest Md5(std::initializer_list<std::span<const std::uint8_t>> parts);
Sha1Digest Sha1(std::span<const std::uint8_t> data);
Sha1Digest HmacSha1(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data);

// Does the library's one-time set-up of MD5, SHA-1 and HMAC-SHA1 now (OpenSSL 3 loads its
// providers and fetches each algorithm on first use, a millisecond or more), so that the first
// password token of a registration does not wait for it. Safe from any thread; later calls are cheap.
void WarmUp();

// Compares without stopping at the first difference.
bool EqualBytes(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b);

inline std::span<const std::uint8_t> BytesOf(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// A text as 16-bit characters, big-endian, followed by a terminating zero character: the form in
// which the password and the sender's alias enter the MD5 and CAT tokens. UTF-8 is decoded; bytes
// that are not UTF-8 are taken as Latin-1 characters.
std::string Ucs2PlusNull(std::string_view text);

// What checking a received token found.
enum class TokenCheck {
  Ok,           // the token is there and was made with the password
  Absent,       // no token of this kind
  Malformed,    // a token of this kind that lacks what the check needs
  BadPassword,  // made with another password (or the message was changed on the way)
};

// Algorithm and token identifiers.
inline constexpr std::array<std::uint32_t, 6> kOidMd5{1, 2, 840, 113549, 2, 5};
inline constexpr std::array<std::uint32_t, 8> kOidCat{1, 2, 840, 113548, 10, 1, 2, 1};
inline constexpr std::array<std::uint32_t, 7> kOidHmacSha1_96{0, 0, 8, 235, 0, 2, 6};
// H.235.1: the crypto token covers all fields of the RAS or call signalling message ...
inline constexpr std::array<std::uint32_t, 7> kOidProcedure1Token{0, 0, 8, 235, 0, 2, 1};
// ... and its hashed values are a clear token of this identifier.
inline constexpr std::array<std::uint32_t, 7> kOidProcedure1ClearToken{0, 0, 8, 235, 0, 2, 5};
// The clear token whose encoding the MD5 password hash covers carries this identifier.
inline constexpr std::array<std::uint32_t, 2> kOidPwdHashClearToken{0, 0};

}  // namespace vantro::h235
