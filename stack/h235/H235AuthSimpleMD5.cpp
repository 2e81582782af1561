#include "stack/h235/H235AuthSimpleMD5.h"

#include "stack/asn/H323Values.h"
#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"
#include "stack/asn/generated/H235.h"

namespace vantro::h235 {

using asn::Value;

std::optional<Md5Digest> H235AuthSimpleMD5::PasswordHash(std::string_view alias, std::string_view password,
                                                         std::uint32_t timeStamp) {
  using C = asn::h235::ClearToken;
  Value token(C::Id);
  token.Field(C::tokenOID).SetOid(kOidPwdHashClearToken);
  token.Field(C::timeStamp).SetInteger(timeStamp);
  token.Field(C::password).SetBytes(Ucs2PlusNull(password));
  token.Field(C::generalID).SetBytes(Ucs2PlusNull(alias));
  auto encoded = asn::Encode(token);
  if (!encoded) return std::nullopt;
  return Md5({*encoded});
}

std::optional<Value> H235AuthSimpleMD5::CreateCryptoToken(std::string_view alias, std::string_view password,
                                                          std::uint32_t timeStamp) {
  if (alias.empty()) return std::nullopt;
  auto hash = PasswordHash(alias, password, timeStamp);
  if (!hash) return std::nullopt;
  Value token(asn::h225::CryptoH323Token::Id);
  using P = asn::h225::CryptoH323Token_cryptoEPPwdHash;
  Value& pwdHash = token.Select(asn::h225::CryptoH323Token::cryptoEPPwdHash);
  asn::SetAlias(pwdHash.Field(P::alias), alias);
  pwdHash.Field(P::timeStamp).SetInteger(timeStamp);
  using H = asn::h235::HASHED_EncodedPwdCertToken;
  Value& hashed = pwdHash.Field(P::token);
  hashed.Field(H::algorithmOID).SetOid(kOidMd5);
  hashed.Field(H::paramS);
  hashed.Field(H::hash).SetBits(*hash, hash->size() * 8);
  return token;
}

TokenCheck H235AuthSimpleMD5::Validate(const Value& cryptoH323Token, std::string_view password) {
  if (!cryptoH323Token.Is(asn::h225::CryptoH323Token::cryptoEPPwdHash)) return TokenCheck::Absent;
  using P = asn::h225::CryptoH323Token_cryptoEPPwdHash;
  using H = asn::h235::HASHED_EncodedPwdCertToken;
  const Value& pwdHash = cryptoH323Token.Alternative();
  const Value& hashed = pwdHash[P::token];
  if (hashed[H::algorithmOID].Oid() != std::vector<std::uint32_t>(kOidMd5.begin(), kOidMd5.end()))
    return TokenCheck::Absent;
  const std::string alias = asn::AliasText(pwdHash[P::alias]);
  const std::int64_t stamp = pwdHash[P::timeStamp].Integer();
  if (alias.empty() || stamp < 0 || stamp > 0xffffffffLL || hashed[H::hash].BitLength() != 128)
    return TokenCheck::Malformed;
  auto expected = PasswordHash(alias, password, static_cast<std::uint32_t>(stamp));
  if (!expected) return TokenCheck::Malformed;
  return EqualBytes(hashed[H::hash].Octets(), *expected) ? TokenCheck::Ok : TokenCheck::BadPassword;
}

}  // namespace vantro::h235
