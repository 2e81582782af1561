// The messages the stack builds: each encodes, decodes to an equal value, and reads back through
// the generated indices and the helpers.

#include "stack/asn/Per.h"
#include "stack/asn/Text.h"
#include "stack/asn/generated/H225.h"
#include "stack/asn/generated/H245.h"
#include "tests/stack/asn/SampleMessages.h"

#include <gtest/gtest.h>

namespace vantro::asn {
namespace {

Value roundTrip(const Value& v) {
  Result<std::vector<std::uint8_t>> bytes = encode(v);
  EXPECT_TRUE(bytes.ok()) << (bytes.ok() ? "" : bytes.error().message()) << "\n" << toText(v);
  if (!bytes.ok()) return v;
  std::size_t used = 0;
  Result<Value> back = decode(v.type(), *bytes, &used);
  EXPECT_TRUE(back.ok()) << (back.ok() ? "" : back.error().message());
  if (!back.ok()) return v;
  EXPECT_EQ(used, bytes->size());
  EXPECT_TRUE(*back == v) << toText(*back);
  return *back;
}

std::string alternativeName(const Value& choice) { return fieldDesc(choice.desc(), choice.choice()).name; }

TEST(Messages, RasMessagesRoundTrip) {
  auto all = test::rasMessages();
  EXPECT_EQ(all.size(), 17u);
  for (const auto& m : all) {
    SCOPED_TRACE(m.name);
    Value back = roundTrip(m.value);
    EXPECT_EQ(alternativeName(back), m.name);
  }
}

TEST(Messages, H245MessagesRoundTrip) {
  for (const auto& m : test::h245Messages()) {
    SCOPED_TRACE(m.name);
    Value back = roundTrip(m.value);
    EXPECT_EQ(alternativeName(back.alternative()), m.name);
  }
  Value tcs = roundTrip(test::terminalCapabilitySet());
  const Value* table = tcs.find("request.terminalCapabilitySet.capabilityTable");
  ASSERT_TRUE(table);
  EXPECT_EQ(table->size(), 9u);
  EXPECT_TRUE(table->find("[4].capability.receiveVideoCapability.h263VideoCapability"));
  EXPECT_TRUE(table->find("[6].capability.receiveAndTransmitDataApplicationCapability.application.t38fax"));
}

TEST(Messages, MissingMandatoryComponentsAreReportedOnEncode) {
  Value ras(h225::RasMessage::Id);
  EXPECT_EQ(encode(ras).error().code, Errc::Missing);  // no alternative chosen
  Value& grq = ras.select(h225::RasMessage::gatekeeperRequest);
  grq.field(h225::GatekeeperRequest::requestSeqNum).setInteger(1);
  Result<std::vector<std::uint8_t>> r = encode(ras);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error().code, Errc::Missing);
  EXPECT_NE(r.error().where.find("protocolIdentifier"), std::string::npos);
}

}  // namespace
}  // namespace vantro::asn
