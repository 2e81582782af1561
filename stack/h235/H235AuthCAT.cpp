#include "stack/h235/H235AuthCAT.h"

#include "stack/asn/generated/H235.h"

namespace vantro::h235 {

using asn::Value;
using C = asn::h235::ClearToken;

Md5Digest H235AuthCAT::Challenge(std::uint8_t random, std::string_view password, std::uint32_t timeStamp) {
  const std::uint8_t stamp[4] = {static_cast<std::uint8_t>(timeStamp >> 24), static_cast<std::uint8_t>(timeStamp >> 16),
                                 static_cast<std::uint8_t>(timeStamp >> 8), static_cast<std::uint8_t>(timeStamp)};
  return Md5({std::span<const std::uint8_t>(&random, 1), BytesOf(password), stamp});
}

std::optional<Value> H235AuthCAT::CreateClearToken(std::string_view alias, std::string_view password,
                                                   std::uint32_t timeStamp, std::uint8_t random) {
  const std::string generalID = Ucs2PlusNull(alias);
  if (alias.empty() || generalID.size() / 2 > 128) return std::nullopt;
  Value token(C::Id);
  token.Field(C::tokenOID).SetOid(kOidCat);
  token.Field(C::generalID).SetBytes(generalID);
  token.Field(C::timeStamp).SetInteger(timeStamp);
  token.Field(C::random).SetInteger(random);
  Md5Digest challenge = Challenge(random, password, timeStamp);
  token.Field(C::challenge).SetBytes(challenge);
  return token;
}

TokenCheck H235AuthCAT::Validate(const Value& clearToken, std::string_view password) {
  if (clearToken.Type() != C::Id || !clearToken.Has(C::tokenOID) ||
      clearToken[C::tokenOID].Oid() != std::vector<std::uint32_t>(kOidCat.begin(), kOidCat.end()))
    return TokenCheck::Absent;
  const Value* stamp = clearToken.Get(C::timeStamp);
  const Value* random = clearToken.Get(C::random);
  const Value* challenge = clearToken.Get(C::challenge);
  if (!stamp || !random || !challenge || !clearToken.Has(C::generalID) || challenge->Bytes().size() != 16 ||
      random->Integer() < -128 || random->Integer() > 255 || stamp->Integer() < 0 || stamp->Integer() > 0xffffffffLL)
    return TokenCheck::Malformed;
  Md5Digest expected =
      Challenge(static_cast<std::uint8_t>(random->Integer()), password, static_cast<std::uint32_t>(stamp->Integer()));
  return EqualBytes(challenge->Octets(), expected) ? TokenCheck::Ok : TokenCheck::BadPassword;
}

}  // namespace vantro::h235
