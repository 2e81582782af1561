// tshark, an independent decoder, reads every RAS message the endpoint sends, with its H.235
// tokens: registration with all three kinds of token, the keep-alive, the answers to the
// gatekeeper's requests and the unregistration, as they left the endpoint's socket; and those of
// calls: admission both ways, information responses with the calls (asked and unasked), the
// answers to the gatekeeper's disengage requests and our own.

#include "tests/stack/asn/TsharkJudge.h"
#include "tests/stack/endpoint/CallsFixture.h"

#include <thread>

namespace vantro::test {
namespace {

TEST(RasTshark, ReadsEverythingTheEndpointSends) {
  TsharkJudge judge;
  if (!judge.available()) GTEST_SKIP() << "tshark or text2pcap is not installed";
  TestGatekeeper::Script script;
  script.auth = TestGatekeeper::Auth::Unannounced;  // every token kind goes out
  script.password = "secret";
  script.grantedTimeToLive = 1;
  TestGatekeeper gk(script);
  H323EndPoint ep;
  Prepare(ep, "5550100", "secret");
  ASSERT_TRUE(ep.UseGatekeeper(gk.Address()));
  ASSERT_TRUE(gk.WaitUntil([&](auto&) { return !gk.RegistrationRequests(true).empty(); }, 5s));
  ASSERT_TRUE(gk.SendInfoRequest());
  ASSERT_TRUE(gk.SendUnregistrationRequest(h225::UnregRequestReason::maintenance));
  ASSERT_TRUE(gk.SendUnregistrationRequest(std::nullopt));  // refused: not registered
  ASSERT_TRUE(ep.UseGatekeeper(gk.Address()));
  ep.RemoveGatekeeper();
  ASSERT_TRUE(gk.WaitUntil([&](auto&) { return gk.MessagesOf(h225::RasMessage::unregistrationRequest).size() == 1; }, 5s));

  std::vector<std::vector<std::uint8_t>> packets;
  std::vector<std::uint16_t> kinds;
  for (auto& r : gk.Messages()) {
    packets.push_back(r.bytes);
    kinds.push_back(r.message.choice());
  }
  using M = h225::RasMessage;
  for (std::uint16_t kind : {M::gatekeeperRequest, M::registrationRequest, M::infoRequestResponse, M::unregistrationConfirm,
                             M::unregistrationReject, M::unregistrationRequest})
    EXPECT_NE(std::find(kinds.begin(), kinds.end(), kind), kinds.end()) << kind;

  auto rows = judge.ras(packets, {"h225.RasMessage", "h225.requestSeqNum", "h235.algorithmOID", "h225.dialledDigits", "_ws.malformed"});
  ASSERT_EQ(rows.size(), packets.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(rows[i]["h225.RasMessage"], std::to_string(kinds[i]));
    EXPECT_EQ(rows[i]["_ws.malformed"], "");
  }
  // The full registration: MD5 hash, CAT clear token and H.235.1 hash, each with its algorithm.
  const auto first = std::find(kinds.begin(), kinds.end(), M::registrationRequest) - kinds.begin();
  const std::string algorithms = rows[static_cast<std::size_t>(first)]["h235.algorithmOID"];
  EXPECT_NE(algorithms.find("1.2.840.113549.2.5"), std::string::npos) << algorithms;
  EXPECT_NE(algorithms.find("0.0.8.235.0.2.6"), std::string::npos) << algorithms;
  EXPECT_EQ(rows[static_cast<std::size_t>(first)]["h225.dialledDigits"].substr(0, 7), "5550100");

  const std::string text = judge.verbose(packets, false);
  EXPECT_EQ(text.find("Malformed"), std::string::npos) << text;
  EXPECT_EQ(text.find("Expert Info (Error"), std::string::npos) << text;
  EXPECT_EQ(text.find("Expert Info (Warning"), std::string::npos) << text;
  for (const char* token : {"cryptoEPPwdHash", "nestedcryptoToken", "cryptoHashedToken", "1.2.840.113548.10.1.2.1",
                            "challenge:", "sendersID: 5550100", "keepAlive: True"})
    EXPECT_NE(text.find(token), std::string::npos) << token;
}

}  // namespace
}  // namespace vantro::test

namespace vantro::test {
namespace {

TEST(RasTshark, ReadsTheCallMessagesTheEndpointSends) {
  TsharkJudge judge;
  if (!judge.available()) GTEST_SKIP() << "tshark or text2pcap is not installed";
  TestGatekeeper::Script script;
  script.auth = TestGatekeeper::Auth::Unannounced;
  script.password = "secret";
  script.irrFrequency = 1;
  TestGatekeeper gk(script);
  H323EndPoint ep;
  Prepare(ep, "5550100", "secret");
  ASSERT_TRUE(ep.UseGatekeeper(gk.Address()));
  auto& gatekeeper = *ep.GetGatekeeper();

  Gk::CallInfo out = MakeCallInfo(0x1234, "");
  out.destCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 1720};
  out.localCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 40000};
  out.remoteCallSignalAddress = out.destCallSignalAddress;
  Gk::CallInfo in = MakeCallInfo(0x2345, "5550300", true);
  in.srcCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 40001};
  gatekeeper.SetCallInfoProvider([&] { return std::vector<Gk::CallInfo>{out, in}; });
  gatekeeper.SetDisengageHandler([&](const std::string& id) { return id == in.callIdentifier; });
  ASSERT_EQ(Admit(gatekeeper, out).outcome, Outcome::Confirmed);
  ASSERT_EQ(Admit(gatekeeper, in).outcome, Outcome::Confirmed);
  ASSERT_TRUE(gk.WaitUntil([&](auto&) { return !gk.MessagesOf(h225::RasMessage::infoRequestResponse).empty(); }, 5s));
  ASSERT_TRUE(gk.SendInfoRequest());
  ASSERT_TRUE(gk.SendDisengageRequest(in.callIdentifier, h225::DisengageReason::forcedDrop));
  ASSERT_TRUE(gk.SendDisengageRequest(RandomGuid(), h225::DisengageReason::forcedDrop));  // refused
  out.releaseCause = 16;
  ASSERT_TRUE(Disengage(gatekeeper, out));

  std::vector<std::vector<std::uint8_t>> packets;
  std::vector<std::uint16_t> kinds;
  for (auto& r : gk.Messages()) {
    packets.push_back(r.bytes);
    kinds.push_back(r.message.choice());
  }
  using M = h225::RasMessage;
  for (std::uint16_t kind : {M::admissionRequest, M::infoRequestResponse, M::disengageConfirm, M::disengageReject,
                             M::disengageRequest})
    EXPECT_NE(std::find(kinds.begin(), kinds.end(), kind), kinds.end()) << kind;
  auto rows = judge.ras(packets, {"h225.RasMessage", "h225.callReferenceValue", "h225.answerCall", "_ws.malformed"});
  ASSERT_EQ(rows.size(), packets.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(rows[i]["h225.RasMessage"], std::to_string(kinds[i]));
    EXPECT_EQ(rows[i]["_ws.malformed"], "");
    if (kinds[i] == M::admissionRequest) {
      const std::string reference = rows[i]["h225.callReferenceValue"];
      EXPECT_TRUE(reference == "4660" || reference == "9029") << reference;
    }
  }
  const std::string text = judge.verbose(packets, false);
  EXPECT_EQ(text.find("Malformed"), std::string::npos) << text;
  EXPECT_EQ(text.find("Expert Info (Error"), std::string::npos) << text;
  EXPECT_EQ(text.find("Expert Info (Warning"), std::string::npos) << text;
  for (const char* field : {"answerCall: True", "answerCall: False", "perCallInfo: 2 items", "perCallInfo: 1 item",
                            "unsolicited: True", "disengageReason: normalDrop", "releaseCompleteCauseIE: 8090",
                            "rejectReason: requestToDropOther", "srcCallSignalAddress", "callIdentifier"})
    EXPECT_NE(text.find(field), std::string::npos) << field;
}

}  // namespace
}  // namespace vantro::test
