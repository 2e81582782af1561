// The three password tokens, recomputed from tokens that real peers made with the password
// "secret" for the alias 5550100, and derived independently where no capture has one (CAT); the
// registration tests run each against the test gatekeeper.

#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"
#include "stack/asn/generated/H235.h"
#include "stack/h235/H235AuthCAT.h"
#include "stack/h235/H235AuthProcedure1.h"
#include "stack/h235/H235AuthSimpleMD5.h"
#include "stack/h235/H235Authenticators.h"
#include "tests/stack/CaptureVectors.h"

#include <gtest/gtest.h>

namespace vantro::test {
namespace {

using asn::Value;
using namespace vantro::h235;
namespace ras = asn::h225;

std::vector<std::uint8_t> Capture(const std::string& name) { return VectorBytes(kRasVectors, name); }

Value Decoded(const std::vector<std::uint8_t>& bytes) { return *asn::Decode(ras::RasMessage::Id, bytes); }

std::string Hex(std::span<const std::uint8_t> b) { return ToHex(std::vector<std::uint8_t>(b.begin(), b.end())); }

const Value& FirstCryptoToken(const Value& msg) {
  const Value& body = msg.Alternative();
  return body[static_cast<std::uint16_t>(body.IndexOf("cryptoTokens"))].At(0);
}

TEST(H235Md5, RecomputesTheCapturedPasswordHash) {
  const auto bytes = Capture("md5 frame 7 registrationRequest");
  const Value rrq = Decoded(bytes);
  const Value& token = FirstCryptoToken(rrq);
  ASSERT_TRUE(token.Is(ras::CryptoH323Token::cryptoEPPwdHash));
  const Value& pwdHash = token.Alternative();
  const auto stamp = static_cast<std::uint32_t>(pwdHash[ras::CryptoH323Token_cryptoEPPwdHash::timeStamp].Integer());

  auto hash = H235AuthSimpleMD5::PasswordHash("5550100", "secret", stamp);
  ASSERT_TRUE(hash);
  EXPECT_EQ(Hex(*hash), "0ee35c0dc67f2866ee1e28dac66e895b");
  EXPECT_EQ(H235AuthSimpleMD5::Validate(token, "secret"), TokenCheck::Ok);
  EXPECT_EQ(H235AuthSimpleMD5::Validate(token, "Secret"), TokenCheck::BadPassword);
  // Our token is the captured one, octet for octet.
  auto ours = H235AuthSimpleMD5::CreateCryptoToken("5550100", "secret", stamp);
  ASSERT_TRUE(ours);
  EXPECT_EQ(*ours, token);
  // Without the terminating zero characters the hash would differ: the recipe is pinned.
  EXPECT_NE(H235AuthSimpleMD5::PasswordHash("5550100", "secret", stamp + 1), hash);
}

TEST(H235Md5, PasswordsInUtf8OrLatin1) {
  EXPECT_EQ(Ucs2PlusNull("a\xc3\xa4\xe4"), std::string("\0a\0\xe4\0\xe4\0\0", 8));  // UTF-8, then Latin-1
}

TEST(H235Procedure1, RecomputesTheCapturedHashesOfBothSides) {
  for (const char* name : {"g711 frame 7 registrationRequest", "g711 frame 8 registrationConfirm"}) {
    SCOPED_TRACE(name);
    auto bytes = Capture(name);
    const Value msg = Decoded(bytes);
    const Value& token = FirstCryptoToken(msg);
    EXPECT_EQ(H235AuthProcedure1::Validate(bytes, token, "secret"), TokenCheck::Ok);
    EXPECT_EQ(H235AuthProcedure1::Validate(bytes, token, "secreT"), TokenCheck::BadPassword);
    bytes[20] ^= 1;  // a changed message no longer matches its hash
    EXPECT_EQ(H235AuthProcedure1::Validate(bytes, token, "secret"), TokenCheck::BadPassword);
  }
  EXPECT_EQ(H235AuthProcedure1::SendersID(FirstCryptoToken(Decoded(Capture("g711 frame 7 registrationRequest")))),
            "5550100");
  // The wrong-password capture was rejected for a reason.
  auto wrong = Capture("rrj frame 3 registrationRequest");
  EXPECT_EQ(H235AuthProcedure1::Validate(wrong, FirstCryptoToken(Decoded(wrong)), "secret"), TokenCheck::BadPassword);
}

TEST(H235Procedure1, SigningReproducesTheCapturedMessage) {
  const auto captured = Capture("g711 frame 7 registrationRequest");
  Value rrq = Decoded(captured);
  Value& token = rrq.Alternative().Field(ras::RegistrationRequest::cryptoTokens).At(0);
  Value& hashed = token.Alternative().Alternative();
  using T = asn::h235::CryptoToken_cryptoHashedToken;
  using C = asn::h235::ClearToken;
  const Value& vals = hashed[T::hashedVals];

  // Our token names the same things the captured one does.
  const H235AuthProcedure1::Hash marker{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  auto ours = H235AuthProcedure1::CreateCryptoToken("5550100", "GnuGk",
                                                    static_cast<std::uint32_t>(vals[C::timeStamp].Integer()),
                                                    static_cast<std::uint32_t>(vals[C::random].Integer()), marker);
  ASSERT_TRUE(ours);
  const Value& ourVals = ours->Alternative().Alternative()[T::hashedVals];
  for (std::uint16_t f : {C::tokenOID, C::timeStamp, C::random, C::generalID, C::sendersID})
    EXPECT_EQ(ourVals[f], vals[f]) << f;
  EXPECT_EQ(ours->Alternative().Alternative()[T::tokenOID], hashed[T::tokenOID]);

  // Signing the message with the marker in the hash bits gives the captured octets.
  hashed.Field(T::token).Field(asn::h235::HASHED_EncodedGeneralToken::hash).SetBits(marker, 96);
  auto bytes = *asn::Encode(rrq);
  ASSERT_TRUE(H235AuthProcedure1::Sign(bytes, marker, "secret"));
  EXPECT_EQ(ToHex(bytes), ToHex(captured));
  EXPECT_FALSE(H235AuthProcedure1::Sign(bytes, marker, "secret"));  // the marker is gone
}

TEST(H235Cat, ChallengeIsMd5OfRandomPasswordAndBigEndianTime) {
  // Vectors computed independently: md5(bytes([r]) + password + time.to_bytes(4, "big")).
  EXPECT_EQ(Hex(H235AuthCAT::Challenge(1, "secret", 0x12345678)), "90ea85188bb5395bc32ffb19a3170419");
  EXPECT_EQ(Hex(H235AuthCAT::Challenge(200, "p\xe4ss", 1796603276)), "d0f2ab1a9f1ba391af5023aa65139539");

  auto token = H235AuthCAT::CreateClearToken("5550100", "secret", 0x12345678, 1);
  ASSERT_TRUE(token);
  using C = asn::h235::ClearToken;
  EXPECT_EQ((*token)[C::tokenOID].OidText(), "1.2.840.113548.10.1.2.1");
  EXPECT_EQ((*token)[C::generalID].Bytes(), Ucs2PlusNull("5550100"));
  EXPECT_EQ((*token)[C::random].Integer(), 1);
  EXPECT_EQ(H235AuthCAT::Validate(*token, "secret"), TokenCheck::Ok);
  EXPECT_EQ(H235AuthCAT::Validate(*token, "secrets"), TokenCheck::BadPassword);
  // It survives the wire.
  auto back = asn::Decode(C::Id, *asn::Encode(*token));
  ASSERT_TRUE(back);
  EXPECT_EQ(H235AuthCAT::Validate(*back, "secret"), TokenCheck::Ok);
}

}  // namespace
}  // namespace vantro::test
