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
bool IsOid(const Value& v, const std::array<std::uint32_t, N>& arcs) {
  return v.Oid() == std::vector<std::uint32_t>(arcs.begin(), arcs.end());
}

// The cryptoHashedToken inside a CryptoH323Token, or nullptr when it is not one of procedure I.
const Value* HashedToken(const Value& cryptoH323Token) {
  if (!cryptoH323Token.Is(asn::h225::CryptoH323Token::nestedcryptoToken)) return nullptr;
  const Value& nested = cryptoH323Token.Alternative();
  if (!nested.Is(asn::h235::CryptoToken::cryptoHashedToken)) return nullptr;
  const Value& token = nested.Alternative();
  if (!IsOid(token[T::tokenOID], kOidProcedure1Token)) return nullptr;
  if (!IsOid(token[T::token][H::algorithmOID], kOidHmacSha1_96)) return nullptr;
  return &token;
}

std::string Identifier(const Value& cryptoH323Token, std::uint16_t field) {
  const Value* token = HashedToken(cryptoH323Token);
  const Value* id = token ? (*token)[T::hashedVals].Get(field) : nullptr;
  return id ? id->Text() : std::string();
}

}  // namespace

std::optional<Value> H235AuthProcedure1::CreateCryptoToken(std::string_view sendersID, std::string_view generalID,
                                                           std::uint32_t timeStamp, std::uint32_t random,
                                                           const Hash& marker) {
  Value token(asn::h225::CryptoH323Token::Id);
  Value& hashed =
      token.Select(asn::h225::CryptoH323Token::nestedcryptoToken).Select(asn::h235::CryptoToken::cryptoHashedToken);
  hashed.Field(T::tokenOID).SetOid(kOidProcedure1Token);
  Value& vals = hashed.Field(T::hashedVals);
  vals.Field(C::tokenOID).SetOid(kOidProcedure1ClearToken);
  vals.Field(C::timeStamp).SetInteger(timeStamp);
  vals.Field(C::random).SetInteger(random);
  if (!generalID.empty()) vals.Field(C::generalID).SetText(generalID);
  if (!sendersID.empty()) vals.Field(C::sendersID).SetText(sendersID);
  for (std::uint16_t id : {C::generalID, C::sendersID})
    if (const Value* v = vals.Get(id); v && v->Bytes().size() / 2 > 128) return std::nullopt;
  Value& hash = hashed.Field(T::token);
  hash.Field(H::algorithmOID).SetOid(kOidHmacSha1_96);
  hash.Field(H::paramS);
  hash.Field(H::hash).SetBits(marker, kHashOctets * 8);
  return token;
}

H235AuthProcedure1::Hash H235AuthProcedure1::Compute(std::span<const std::uint8_t> zeroedMessage,
                                                     std::string_view password) {
  const Sha1Digest key = Sha1(BytesOf(password));
  const Sha1Digest mac = HmacSha1(key, zeroedMessage);
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
  const Value* token = HashedToken(cryptoH323Token);
  if (!token) return TokenCheck::Absent;
  const Value& hash = (*token)[T::token][H::hash];
  if (hash.BitLength() != kHashOctets * 8) return TokenCheck::Malformed;
  const auto received = hash.Octets();
  // The hash bits stand octet-aligned in the encoding; wherever the received value occurs, try it
  // as the hash field (another occurrence matching by chance is as unlikely as a forged hash).
  std::vector<std::uint8_t> zeroed(encoded.begin(), encoded.end());
  int tries = 0;
  for (auto at = std::search(zeroed.begin(), zeroed.end(), received.begin(), received.end()); at != zeroed.end();
       at = std::search(at + 1, zeroed.end(), received.begin(), received.end())) {
    if (++tries > 4) break;  // a real message holds its hash once or twice, not more
    std::vector<std::uint8_t> saved(at, at + kHashOctets);
    std::fill_n(at, kHashOctets, 0);
    if (EqualBytes(Compute(zeroed, password), received)) return TokenCheck::Ok;
    std::copy(saved.begin(), saved.end(), at);
  }
  return TokenCheck::BadPassword;
}

std::string H235AuthProcedure1::SendersID(const Value& cryptoH323Token) {
  return Identifier(cryptoH323Token, C::sendersID);
}

std::string H235AuthProcedure1::GeneralID(const Value& cryptoH323Token) {
  return Identifier(cryptoH323Token, C::generalID);
}

}  // namespace vantro::h235
