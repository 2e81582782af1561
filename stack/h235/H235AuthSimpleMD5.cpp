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
  token.field(C::tokenOID).setOid(kOidPwdHashClearToken);
  token.field(C::timeStamp).setInteger(timeStamp);
  token.field(C::password).setBytes(ucs2PlusNull(password));
  token.field(C::generalID).setBytes(ucs2PlusNull(alias));
  auto encoded = asn::encode(token);
  if (!encoded) return std::nullopt;
  return md5({*encoded});
}

std::optional<Value> H235AuthSimpleMD5::CreateCryptoToken(std::string_view alias, std::string_view password,
                                                          std::uint32_t timeStamp) {
  if (alias.empty()) return std::nullopt;
  auto hash = PasswordHash(alias, password, timeStamp);
  if (!hash) return std::nullopt;
  Value token(asn::h225::CryptoH323Token::Id);
  using P = asn::h225::CryptoH323Token_cryptoEPPwdHash;
  Value& pwdHash = token.select(asn::h225::CryptoH323Token::cryptoEPPwdHash);
  asn::setAlias(pwdHash.field(P::alias), alias);
  pwdHash.field(P::timeStamp).setInteger(timeStamp);
  using H = asn::h235::HASHED_EncodedPwdCertToken;
  Value& hashed = pwdHash.field(P::token);
  hashed.field(H::algorithmOID).setOid(kOidMd5);
  hashed.field(H::paramS);
  hashed.field(H::hash).setBits(*hash, hash->size() * 8);
  return token;
}

TokenCheck H235AuthSimpleMD5::Validate(const Value& cryptoH323Token, std::string_view password) {
  if (!cryptoH323Token.is(asn::h225::CryptoH323Token::cryptoEPPwdHash)) return TokenCheck::Absent;
  using P = asn::h225::CryptoH323Token_cryptoEPPwdHash;
  using H = asn::h235::HASHED_EncodedPwdCertToken;
  const Value& pwdHash = cryptoH323Token.alternative();
  const Value& hashed = pwdHash[P::token];
  if (hashed[H::algorithmOID].oid() != std::vector<std::uint32_t>(kOidMd5.begin(), kOidMd5.end()))
    return TokenCheck::Absent;
  const std::string alias = asn::aliasText(pwdHash[P::alias]);
  const std::int64_t stamp = pwdHash[P::timeStamp].integer();
  if (alias.empty() || stamp < 0 || stamp > 0xffffffffLL || hashed[H::hash].bitLength() != 128)
    return TokenCheck::Malformed;
  auto expected = PasswordHash(alias, password, static_cast<std::uint32_t>(stamp));
  if (!expected) return TokenCheck::Malformed;
  return equalBytes(hashed[H::hash].octets(), *expected) ? TokenCheck::Ok : TokenCheck::BadPassword;
}

}  // namespace vantro::h235
