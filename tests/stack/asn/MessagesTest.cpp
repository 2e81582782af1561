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

TEST(Messages, SetupCarriesFastStartAndTunnelledH245) {
  auto all = test::signallingMessages();
  ASSERT_EQ(all.size(), 7u);
  for (const auto& s : all) {
    SCOPED_TRACE(s.name);
    Value back = roundTrip(s.uu);
    const Value* body = back.find("h323-uu-pdu.h323-message-body");
    ASSERT_TRUE(body);
    EXPECT_EQ(alternativeName(*body), s.name);
    // Wrapped in Q.931, the message comes back whole.
    q931::Q931Message q = test::q931For(s, 1723);
    auto q2 = q931::Q931Message::decode(q.encode());
    ASSERT_TRUE(q2);
    EXPECT_EQ(*q2, q);
    EXPECT_TRUE(*decode(h225::H323_UserInformation::Id, *q2->userUser()) == s.uu);
  }
  Value setup = roundTrip(test::setupWithFastStart());
  const Value* fastStart = setup.find("h323-uu-pdu.h323-message-body.setup.fastStart");
  ASSERT_TRUE(fastStart);
  ASSERT_EQ(fastStart->size(), 2u);
  Result<Value> second = decode(h245::OpenLogicalChannel::Id, fastStart->at(1).octets());
  ASSERT_TRUE(second.ok());
  EXPECT_EQ(second->find("forwardLogicalChannelParameters.dataType.audioData.g711Ulaw64k")->integer(), 20);
  const Value* control = setup.find("h323-uu-pdu.h245Control");
  ASSERT_TRUE(control);
  Result<Value> tcs = decode(h245::MultimediaSystemControlMessage::Id, control->at(0).octets());
  ASSERT_TRUE(tcs.ok());
  EXPECT_TRUE(tcs->find("request.terminalCapabilitySet"));
}

TEST(Messages, MissingMandatoryComponentsAreReportedOnEncode) {
  Value ras(h225::RasMessage::Id);
  EXPECT_EQ(encode(ras).error().code, Errc::Missing);   // no alternative chosen
  Value& grq = ras.select(h225::RasMessage::gatekeeperRequest);
  grq.field(h225::GatekeeperRequest::requestSeqNum).setInteger(1);
  Result<std::vector<std::uint8_t>> r = encode(ras);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error().code, Errc::Missing);
  EXPECT_NE(r.error().where.find("protocolIdentifier"), std::string::npos);
}

}  // namespace
}  // namespace vantro::asn
