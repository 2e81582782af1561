#include "stack/q931/Q931Message.h"
#include "tests/stack/CaptureVectors.h"

#include <gtest/gtest.h>

namespace vantro::q931 {
namespace {

using test::FromHex;

std::optional<Q931Message> Capture(std::string_view prefix) {
  return Q931Message::Decode(test::VectorBytes(test::kQ931Vectors, prefix));
}

TEST(Q931, CapturedMessagesDecodeAndReencodeExactly) {
  for (const auto& v : test::kQ931Vectors) {
    SCOPED_TRACE(v.name);
    std::vector<std::uint8_t> bytes = FromHex(v.hex);
    std::string error;
    std::optional<Q931Message> m = Q931Message::Decode(bytes, &error);
    ASSERT_TRUE(m) << error;
    EXPECT_EQ(m->Encode(), bytes);
    std::string name = v.name;
    EXPECT_EQ(MessageTypeName(m->Type()), name.substr(name.rfind(' ') + 1));
    EXPECT_TRUE(m->UserUser());
  }
}

TEST(Q931, CapturedSetupReadsThroughTheTypedElements) {
  std::optional<Q931Message> setup = Capture("g711 frame 14 Setup");
  ASSERT_TRUE(setup);
  EXPECT_EQ(setup->CallReference(), 1723);
  EXPECT_FALSE(setup->FromDestination());
  std::optional<BearerCapability> bearer = setup->BearerCapability();
  ASSERT_TRUE(bearer);
  EXPECT_EQ(bearer->transferCapability, BearerCapability::Speech);
  EXPECT_EQ(bearer->transferRate, BearerCapability::Rate64k);
  EXPECT_EQ(bearer->layer1Protocol, BearerCapability::Layer1H221);
  EXPECT_EQ(setup->Display(), "5550100");  // sent with a terminating NUL
  EXPECT_EQ(setup->CallingPartyNumber()->digits, "5550100");
  EXPECT_EQ(setup->CalledPartyNumber()->digits, "5551234");
  EXPECT_EQ(setup->CalledPartyNumber()->numberingPlan, 1);
  EXPECT_TRUE(Capture("g711 frame 21 CallProceeding")->FromDestination());
}

TEST(Q931, LyingMessagesAreRefused) {
  const std::pair<std::vector<std::uint8_t>, const char*> rows[] = {
      {{0x09, 0x02, 0x00, 0x01, 0x05}, "not a Q.931 protocol discriminator"},
      {{0x08, 0x03, 0x00, 0x00, 0x01, 0x05}, nullptr},
      {{0x08, 0x02, 0x00}, nullptr},
      {{0x08, 0x02, 0x00, 0x01, 0x05, 0x7e, 0x00, 0x02, 0x05}, "element longer than the message"}};  // user-user
  for (const auto& [bytes, why] : rows) {
    std::string error;
    EXPECT_FALSE(Q931Message::Decode(bytes, &error)) << test::ToHex(bytes);
    if (why) {
      EXPECT_EQ(error, why);
    }
  }
}

TEST(Q931, BuildsMessagesWithElementsInOrder) {
  Q931Message m(Q931Message::Setup, 0x1234);
  std::vector<std::uint8_t> uu(400, 0x11);
  m.SetUserUser(uu);
  m.SetDisplay("Alice");
  m.SetBearerCapability(BearerCapability::speech());
  PartyNumber called;
  called.digits = "123";
  m.SetCalledPartyNumber(called);
  m.Set(Q931Message::IeSendingComplete, {});
  std::vector<std::uint8_t> bytes = m.Encode();
  std::vector<std::uint8_t> head{0x08, 0x02, 0x12, 0x34, 0x05,            // header, Setup
                                 0x04, 0x03, 0x80, 0x90, 0xa2,            // speech, 64k, mu-law
                                 0x28, 0x05, 'A',  'l',  'i',  'c', 'e',  // display
                                 0x70, 0x04, 0x81, '1',  '2',  '3',       // called party number
                                 0x7e, 0x01, 0x91, 0x05};                 // user-user, 401 octets
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(head.size())), head);
  EXPECT_EQ(bytes.back(), Q931Message::IeSendingComplete);
  EXPECT_EQ(Q931Message::Decode(bytes), m);
  m.SetDisplay("Bob");  // replaced, not added
  EXPECT_EQ(m.Elements().size(), 5u);
  EXPECT_THROW(m.Set(Q931Message::IeDisplay, std::vector<std::uint8_t>(256)), std::length_error);
}

TEST(Q931, TypedElementsAsPeersWriteThem) {
  Cause cause;
  cause.location = 2;
  cause.value = Cause::UserBusy;
  cause.diagnostics = {0x01, 0x02};
  EXPECT_EQ(cause.Encode(), (std::vector<std::uint8_t>{0x82, 0x91, 0x01, 0x02}));
  EXPECT_EQ(Cause::Decode(cause.Encode()), cause);
  EXPECT_EQ(Cause::Decode(std::vector<std::uint8_t>{0x02, 0x83, 0x91})->value, Cause::UserBusy);  // octet 3a
  EXPECT_FALSE(PartyNumber::Decode(std::vector<std::uint8_t>{0x81, 0xb1}));                       // not IA5
  EXPECT_FALSE(BearerCapability::Decode(std::vector<std::uint8_t>{0x88}));
}

}  // namespace
}  // namespace vantro::q931
