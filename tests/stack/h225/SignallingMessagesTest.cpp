// The messages a call sends, as tshark reads them; parties as users write them. (A message
// without a usable UUIE is the odd-far-end call test's.)

#include "stack/asn/generated/H225.h"
#include "stack/h225/CallTarget.h"
#include "stack/h225/H225Message.h"
#include "stack/h225/H225MessageBuilder.h"
#include "stack/q931/Tpkt.h"
#include "tests/support/Tshark.h"

#include <gtest/gtest.h>

namespace vantro::h225 {
namespace {

namespace h = asn::h225;
using q931::Q931Message;

const std::string kCallId = std::string("\x11\x22\x33\x44\x55\x66\x77\x88\x99\xaa\xbb\xcc\xdd\xee\xff\x00", 16);
const std::string kConfId = std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10", 16);

H225MessageBuilder Builder(bool originating) { return H225MessageBuilder({0x1234, originating, kCallId, kConfId}); }

H225MessageBuilder::SetupFields Fields() {
  H225MessageBuilder::SetupFields f;
  f.sourceAlias = "5550100";
  f.endpointIdentifier = "ep-7";
  f.destinationAlias = "5550200";
  f.destCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 1721};
  f.sourceCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 40000};
  return f;
}

// Encoded and read back, as the far end gets it.
H225Message RoundTrip(const H225Message& m) {
  std::string error;
  auto back = H225Message::Decode(*m.Encode(), &error);
  EXPECT_TRUE(back && back->HasUuie()) << error;
  return *back;
}

// An alias that is no number goes as an H.323 ID, without Q.931 numbers (tshark reads the numbered
// Setup below), and the endpoint identifier only when registered.
TEST(SignallingMessages, ANamedPartyGoesAsH323IdWithoutNumbers) {
  H225MessageBuilder::SetupFields f = Fields();
  EXPECT_EQ(RoundTrip(Builder(true).Setup(f)).Body()[h::Setup_UUIE::endpointIdentifier].Text(), "ep-7");
  f.sourceAlias = "alice";
  f.destinationAlias = "bob";
  f.endpointIdentifier.clear();
  const H225Message named = RoundTrip(Builder(true).Setup(f));
  EXPECT_FALSE(named.Q931().CallingPartyNumber());
  EXPECT_FALSE(named.Q931().CalledPartyNumber());
  EXPECT_EQ(named.Q931().Display(), "alice");
  EXPECT_TRUE(named.Body()[h::Setup_UUIE::destinationAddress].At(0).Is(h::AliasAddress::h323_ID));
  EXPECT_FALSE(named.Body().Has(h::Setup_UUIE::endpointIdentifier));
}

TEST(CallTarget, PartiesAsUsersAndProgramsWriteThem) {
  using T = CallTarget;
  const std::pair<const char*, T> good[] = {{" 5550100@ ", {"5550100", "", 1720}},
                                            {"5550100@127.0.0.1:1737", {"5550100", "127.0.0.1", 1737}},
                                            {"bob@gw.example.net", {"bob", "gw.example.net", 1720}},
                                            {"127.0.0.1:1737", {"", "127.0.0.1", 1737}},
                                            {"h323:10.0.0.1", {"", "10.0.0.1", 1720}},
                                            {"5550100", {"5550100", "", 1720}},  // a number, not a host
                                            {"@127.0.0.1", {"", "127.0.0.1", 1720}}};
  for (const auto& [text, target] : good) EXPECT_EQ(ParseCallTarget(text), target) << text;
  for (const char* bad : {"", "@", "   ", "a b@", "5550100@host:99999", "x@*:1720", "5550100@bad host"})
    EXPECT_FALSE(ParseCallTarget(bad)) << bad;
}

// tshark, which shares no code with us, reads the messages as their types with nothing malformed.
TEST(SignallingMessages, TsharkReadsThem) {
  test::Tshark judge;
  if (!judge.Available()) GTEST_SKIP() << "tshark or text2pcap missing";
  H225MessageBuilder caller = Builder(true);
  H225MessageBuilder callee = Builder(false);
  H225Message setup = caller.Setup(Fields());
  const std::vector<H225Message> messages = {setup,
                                             callee.CallProceeding(),
                                             callee.Alerting(),
                                             callee.Connect(),
                                             caller.Facility(h::FacilityReason::startH245),
                                             caller.StatusEnquiry(),
                                             callee.Status(H225MessageBuilder::Active, 30),
                                             caller.ReleaseComplete(h::ReleaseCompleteReason::inConf, 17)};
  std::vector<std::vector<std::uint8_t>> packets;
  for (const auto& m : messages) packets.push_back(*q931::TpktFrame(*m.Encode()));
  auto rows =
      judge.Signalling(packets, {"q931.message_type", "h225.h323_message_body", "q931.cause_value", "h225.guid",
                                 "h225.h245Tunnelling", "q931.called_party_number.digits",
                                 "q931.calling_party_number.digits", "q931.display_information", "_ws.malformed"});
  ASSERT_EQ(rows.size(), messages.size());
  for (std::size_t i = 0; i < messages.size(); ++i) {
    SCOPED_TRACE(DescribeMessage(messages[i]));
    char type[8];
    std::snprintf(type, sizeof type, "0x%02x", messages[i].Type());
    EXPECT_EQ(rows[i]["q931.message_type"], type);
    EXPECT_EQ(rows[i]["h225.h323_message_body"], std::to_string(messages[i].BodyType()));
    EXPECT_EQ(rows[i]["h225.h245Tunnelling"], "1");
    EXPECT_EQ(rows[i]["_ws.malformed"], "");
  }
  EXPECT_EQ(rows[0]["h225.guid"], "11223344-5566-7788-99aa-bbccddeeff00");
  EXPECT_EQ(rows[0]["q931.called_party_number.digits"], "5550200");
  EXPECT_EQ(rows[0]["q931.calling_party_number.digits"], "5550100");
  EXPECT_EQ(rows[0]["q931.display_information"], "5550100");
  EXPECT_EQ(rows[7]["q931.cause_value"], "17");
  const std::string text = judge.VerboseH323(packets, true);
  EXPECT_EQ(text.find("Malformed"), std::string::npos);
  EXPECT_NE(text.find("conferenceGoal: create"), std::string::npos);
  EXPECT_NE(text.find("callType: pointToPoint"), std::string::npos);
}

}  // namespace
}  // namespace vantro::h225
