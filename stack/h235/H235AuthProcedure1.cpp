#include "stack/h235/H235AuthProcedure1.h"

#include "stack/asn/generated/H225.h"
#include "stack/asn/generated/H235.h"

#include <algorithm>

namespace vantro::h235 {

using asn::Value;

namespace {

using C = asn::h235::ClearToken;
using T = asn::h235::CryptoToken_cryptoHashedToken;
using H = asn::h235::HASHED_EncodedGeneralToken;

template <std::size_t N>
bool isOid(const Value& v, const std::array<std::uint32_t, N>& arcs) {
  return v.oid() == std::vector<std::uint32_t>(arcs.begin(), arcs.end());
}

// The cryptoHashedToken inside a CryptoH323Token, or nullptr when it is not one of procedure I.
const Value* hashedToken(const Value& cryptoH323Token) {
  if (!cryptoH323Token.is(asn::h225::CryptoH323Token::nestedcryptoToken)) return nullptr;
  const Value& nested = cryptoH323Token.alternative();
  if (!nested.is(asn::h235::CryptoToken::cryptoHashedToken)) return nullptr;
  const Value& token = nested.alternative();
  if (!isOid(token[T::tokenOID], kOidProcedure1Token)) return nullptr;
  if (!isOid(token[T::token][H::algorithmOID], kOidHmacSha1_96)) return nullptr;
  return &token;
}

std::string identifier(const Value& cryptoH323Token, std::uint16_t field) {
  const Value* token = hashedToken(cryptoH323Token);
  const Value* id = token ? (*token)[T::hashedVals].get(field) : nullptr;
  return id ? id->text() : std::string();
}

}  // namespace

std::optional<Value> H235AuthProcedure1::CreateCryptoToken(std::string_view sendersID, std::string_view generalID,
                                                           std::uint32_t timeStamp, std::uint32_t random,
                                                           const Hash& marker) {
  Value token(asn::h225::CryptoH323Token::Id);
  Value& hashed =
      token.select(asn::h225::CryptoH323Token::nestedcryptoToken).select(asn::h235::CryptoToken::cryptoHashedToken);
  hashed.field(T::tokenOID).setOid(kOidProcedure1Token);
  Value& vals = hashed.field(T::hashedVals);
  vals.field(C::tokenOID).setOid(kOidProcedure1ClearToken);
  vals.field(C::timeStamp).setInteger(timeStamp);
  vals.field(C::random).setInteger(random);
  if (!generalID.empty()) vals.field(C::generalID).setText(generalID);
  if (!sendersID.empty()) vals.field(C::sendersID).setText(sendersID);
  for (std::uint16_t id : {C::generalID, C::sendersID})
    if (const Value* v = vals.get(id); v && v->bytes().size() / 2 > 128) return std::nullopt;
  Value& hash = hashed.field(T::token);
  hash.field(H::algorithmOID).setOid(kOidHmacSha1_96);
  hash.field(H::paramS);
  hash.field(H::hash).setBits(marker, kHashOctets * 8);
  return token;
}

H235AuthProcedure1::Hash H235AuthProcedure1::Compute(std::span<const std::uint8_t> zeroedMessage,
                                                     std::string_view password) {
  const Sha1Digest key = sha1(bytesOf(password));
  const Sha1Digest mac = hmacSha1(key, zeroedMessage);
  Hash out{};
  std::copy_n(mac.begin(), kHashOctets, out.begin());
  return out;
}

bool H235AuthProcedure1::Sign(std::vector<std::uint8_t>& encoded, const Hash& marker, std::string_view password) {
  auto at = std::search(encoded.begin(), encoded.end(), marker.begin(), marker.end());
  if (at == encoded.end() || std::search(at + 1, encoded.end(), marker.begin(), marker.end()) != encoded.end())
    return false;
  std::fill_n(at, kHashOctets, 0);
  const Hash hash = Compute(encoded, password);
  std::copy(hash.begin(), hash.end(), at);
  return true;
}

TokenCheck H235AuthProcedure1::Validate(std::span<const std::uint8_t> encoded, const Value& cryptoH323Token,
                                        std::string_view password) {
  const Value* token = hashedToken(cryptoH323Token);
  if (!token) return TokenCheck::Absent;
  const Value& hash = (*token)[T::token][H::hash];
  if (hash.bitLength() != kHashOctets * 8) return TokenCheck::Malformed;
  const auto received = hash.octets();
  // The hash bits stand octet-aligned in the encoding; wherever the received value occurs, try it
  // as the hash field (another occurrence matching by chance is as unlikely as a forged hash).
  std::vector<std::uint8_t> zeroed(encoded.begin(), encoded.end());
  int tries = 0;
  for (auto at = std::search(zeroed.begin(), zeroed.end(), received.begin(), received.end()); at != zeroed.end();
       at = std::search(at + 1, zeroed.end(), received.begin(), received.end())) {
    if (++tries > 4) break;  // a real message holds its hash once or twice, not more
    std::vector<std::uint8_t> saved(at, at + kHashOctets);
    std::fill_n(at, kHashOctets, 0);
    if (equalBytes(Compute(zeroed, password), received)) return TokenCheck::Ok;
    std::copy(saved.begin(), saved.end(), at);
  }
  return TokenCheck::BadPassword;
}

std::string H235AuthProcedure1::SendersID(const Value& cryptoH323Token) {
  return identifier(cryptoH323Token, C::sendersID);
}

std::string H235AuthProcedure1::GeneralID(const Value& cryptoH323Token) {
  return identifier(cryptoH323Token, C::generalID);
}

}  // namespace vantro::h235
