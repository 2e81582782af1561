// tshark, an independent decoder, reads every kind of message we encode: the message type and the
// key fields it reports must be the ones we put in, and it must report nothing malformed.

#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"
#include "stack/q931/Tpkt.h"
#include "tests/stack/asn/SampleMessages.h"
#include "tests/stack/asn/TsharkJudge.h"

#include <gtest/gtest.h>

namespace vantro::test {
namespace {

using asn::Value;

std::vector<std::uint8_t> bytesOf(const Value& v) { return *asn::encode(v); }

std::vector<std::uint8_t> tpkt(const q931::Q931Message& m) { return *q931::tpktFrame(m.encode()); }

void expectClean(TsharkJudge& judge, const std::vector<std::vector<std::uint8_t>>& packets, bool tcp) {
  std::string text = judge.verbose(packets, tcp);
  EXPECT_EQ(text.find("Malformed"), std::string::npos) << text;
  EXPECT_EQ(text.find("Expert Info (Error"), std::string::npos) << text;
  EXPECT_EQ(text.find("Expert Info (Warning"), std::string::npos) << text;
}

class Tshark : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!judge.available()) GTEST_SKIP() << "tshark or text2pcap is not installed";
  }
  TsharkJudge judge;
};

TEST_F(Tshark, ReadsEveryRasMessage) {
  auto messages = rasMessages();
  std::vector<std::vector<std::uint8_t>> packets;
  for (const auto& m : messages) packets.push_back(bytesOf(m.value));
  auto rows = judge.ras(packets, {"h225.RasMessage", "h225.requestSeqNum", "_ws.malformed"});
  ASSERT_EQ(rows.size(), messages.size());
  for (std::size_t i = 0; i < messages.size(); ++i) {
    SCOPED_TRACE(messages[i].name);
    EXPECT_EQ(rows[i]["h225.RasMessage"], std::to_string(messages[i].value.choice()));
    const Value* seq = messages[i].value.alternative().find("requestSeqNum");
    ASSERT_TRUE(seq);
    EXPECT_EQ(rows[i]["h225.requestSeqNum"], std::to_string(seq->integer()));
    EXPECT_EQ(rows[i]["_ws.malformed"], "");
  }
  expectClean(judge, packets, false);
}

TEST_F(Tshark, ReadsTheRegistrationRequestFields) {
  auto rows = judge.ras({bytesOf(rrqFull(77))},
                        {"h225.requestSeqNum", "h225.dialledDigits", "h225.h323_ID", "h225.ipV4", "h225.ipV4_port",
                         "h225.gatekeeperIdentifier", "h225.timeToLive", "h225.protocolIdentifier"});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0]["h225.requestSeqNum"], "77");
  EXPECT_EQ(rows[0]["h225.dialledDigits"], kAliasNumber);
  EXPECT_EQ(rows[0]["h225.h323_ID"], kAliasName);
  EXPECT_EQ(rows[0]["h225.ipV4"], "127.0.0.1,127.0.0.1");
  EXPECT_EQ(rows[0]["h225.ipV4_port"], std::to_string(kEndpointSignalPort) + "," + std::to_string(kEndpointRasPort));
  EXPECT_EQ(rows[0]["h225.gatekeeperIdentifier"], kGatekeeperId);
  EXPECT_EQ(rows[0]["h225.timeToLive"], "300");
  EXPECT_EQ(rows[0]["h225.protocolIdentifier"], "0.0.8.2250.0.7");
}

// H.245 messages go tunnelled in a Facility, as the stack sends them.
TEST_F(Tshark, ReadsEveryH245Message) {
  auto messages = h245Messages();
  SampleSignal facility = signallingMessages()[5];
  std::vector<std::vector<std::uint8_t>> packets;
  for (const auto& m : messages) {
    SampleSignal s = facility;
    std::vector<std::uint8_t> bytes = bytesOf(m.value);
    s.uu.field(asn::h225::H323_UserInformation::h323_uu_pdu)
        .field(asn::h225::H323_UU_PDU::h245Control)
        .append()
        .setBytes(std::span<const std::uint8_t>(bytes));
    packets.push_back(tpkt(q931For(s, 1723)));
  }
  const char* kinds[] = {"h245.request", "h245.response", "h245.command", "h245.indication"};
  auto rows = judge.signalling(
      packets, {"h245.pdu_type", "h245.request", "h245.response", "h245.command", "h245.indication",
                "h245.sequenceNumber", "h245.forwardLogicalChannelNumber", "h245.alphanumeric", "h245.signalType",
                "h245.statusDeterminationNumber", "h245.ip4_network", "h245.tsapIdentifier", "_ws.malformed"});
  ASSERT_EQ(rows.size(), messages.size());
  for (std::size_t i = 0; i < messages.size(); ++i) {
    SCOPED_TRACE(messages[i].name);
    const Value& m = messages[i].value;
    EXPECT_EQ(rows[i]["h245.pdu_type"], std::to_string(m.choice()));
    EXPECT_EQ(rows[i][kinds[m.choice()]], std::to_string(m.alternative().choice()));
    EXPECT_EQ(rows[i]["_ws.malformed"], "");
  }
  EXPECT_EQ(rows[0]["h245.sequenceNumber"], "1");
  EXPECT_EQ(rows[2]["h245.statusDeterminationNumber"], "8912345");
  EXPECT_EQ(rows[4]["h245.forwardLogicalChannelNumber"], "101");
  EXPECT_EQ(rows[4]["h245.tsapIdentifier"], "5000,5001");
  EXPECT_EQ(rows[5]["h245.tsapIdentifier"], "5002,5003");
  EXPECT_EQ(rows[6]["h245.forwardLogicalChannelNumber"], "101");
  EXPECT_EQ(rows[7]["h245.alphanumeric"], "5");
  EXPECT_EQ(rows[8]["h245.signalType"], "#");
  EXPECT_EQ(rows[10]["h245.sequenceNumber"], "7");
  EXPECT_EQ(rows[11]["h245.sequenceNumber"], "7");
  expectClean(judge, packets, true);

  // The capability set as tshark names it: audio, video, T.38 and user input.
  std::string text = judge.verbose({packets[0]}, true);
  for (const char* name : {"g729AnnexA", "g7231", "g711Ulaw64k", "g711Alaw64k", "h263VideoCapability",
                           "h261VideoCapability", "t38fax", "basicString", "dtmf"})
    EXPECT_NE(text.find(name), std::string::npos) << name;
}

}  // namespace
}  // namespace vantro::test
