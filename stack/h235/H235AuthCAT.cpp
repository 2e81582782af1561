#include "stack/h235/H235AuthCAT.h"

#include "stack/asn/generated/H235.h"

namespace vantro::h235 {

using asn::Value;
using C = asn::h235::ClearToken;

Md5Digest H235AuthCAT::Challenge(std::uint8_t random, std::string_view password, std::uint32_t timeStamp) {
  const std::uint8_t stamp[4] = {static_cast<std::uint8_t>(timeStamp >> 24), static_cast<std::uint8_t>(timeStamp >> 16),
                                 static_cast<std::uint8_t>(timeStamp >> 8), static_cast<std::uint8_t>(timeStamp)};
  return md5({std::span<const std::uint8_t>(&random, 1), bytesOf(password), stamp});
}

std::optional<Value> H235AuthCAT::CreateClearToken(std::string_view alias, std::string_view password,
                                                   std::uint32_t timeStamp, std::uint8_t random) {
  const std::string generalID = ucs2PlusNull(alias);
  if (alias.empty() || generalID.size() / 2 > 128) return std::nullopt;
  Value token(C::Id);
  token.field(C::tokenOID).setOid(kOidCat);
  token.field(C::generalID).setBytes(generalID);
  token.field(C::timeStamp).setInteger(timeStamp);
  token.field(C::random).setInteger(random);
  Md5Digest challenge = Challenge(random, password, timeStamp);
  token.field(C::challenge).setBytes(challenge);
  return token;
}

TokenCheck H235AuthCAT::Validate(const Value& clearToken, std::string_view password) {
  if (clearToken.type() != C::Id || !clearToken.has(C::tokenOID) ||
      clearToken[C::tokenOID].oid() != std::vector<std::uint32_t>(kOidCat.begin(), kOidCat.end()))
    return TokenCheck::Absent;
  const Value* stamp = clearToken.get(C::timeStamp);
  const Value* random = clearToken.get(C::random);
  const Value* challenge = clearToken.get(C::challenge);
  if (!stamp || !random || !challenge || !clearToken.has(C::generalID) || challenge->bytes().size() != 16 ||
      random->integer() < -128 || random->integer() > 255 || stamp->integer() < 0 || stamp->integer() > 0xffffffffLL)
    return TokenCheck::Malformed;
  Md5Digest expected =
      Challenge(static_cast<std::uint8_t>(random->integer()), password, static_cast<std::uint32_t>(stamp->integer()));
  return equalBytes(challenge->octets(), expected) ? TokenCheck::Ok : TokenCheck::BadPassword;
}

}  // namespace vantro::h235
