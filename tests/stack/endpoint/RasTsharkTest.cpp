// tshark, an independent decoder, reads every RAS message the endpoint sends, with its H.235
// tokens, as they left the endpoint's socket.

#include "tests/support/Tshark.h"
#include "tests/stack/endpoint/RegistrationFixture.h"

#include <thread>

namespace vantro::test {
namespace {

using M = h225::RasMessage;

// Every kind of message in one run: registration with each token, keep-alive, admission both ways,
// information, disengage and unregistration, asked and answered.
TEST(RasTshark, ReadsEverythingTheEndpointSends) {
  Tshark judge;
  if (!judge.Available()) GTEST_SKIP() << "tshark or text2pcap is not installed";
  auto script = Secured(TestGatekeeper::Auth::Unannounced);  // every token kind goes out
  script.grantedTimeToLive = 1;
  script.irrFrequency = 1;
  Registered r(script);
  auto& gatekeeper = r.Gatekeeper();
  ASSERT_TRUE(r.gk.WaitUntil([&](auto&) { return !r.gk.RegistrationRequests(true).empty(); }, 5s));

  Gk::CallInfo out = MakeCallInfo(0x1234, "");
  out.destCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 1720};
  out.localCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 40000};
  out.remoteCallSignalAddress = out.destCallSignalAddress;
  Gk::CallInfo in = MakeCallInfo(0x2345, "5550300", true);
  in.srcCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 40001};
  gatekeeper.SetCallInfoProvider([&] { return std::vector<Gk::CallInfo>{out, in}; });
  gatekeeper.SetDisengageHandler([&](const std::string& id) { return id == out.callIdentifier; });
  ASSERT_EQ(Admit(gatekeeper, out).outcome, Outcome::Confirmed);
  ASSERT_EQ(Admit(gatekeeper, in).outcome, Outcome::Confirmed);
  ASSERT_TRUE(r.gk.WaitForMessages(M::infoRequestResponse));
  ASSERT_TRUE(r.gk.SendInfoRequest());
  ASSERT_TRUE(r.gk.SendDisengageRequest(out.callIdentifier, h225::DisengageReason::forcedDrop));
  ASSERT_TRUE(r.gk.SendDisengageRequest(RandomGuid(), h225::DisengageReason::forcedDrop));  // refused
  in.releaseCause = 16;
  ASSERT_TRUE(Disengage(gatekeeper, in));

  auto refusing = script;  // the registration that follows the unregistration is refused
  refusing.registrationReject = h225::RegistrationRejectReason::securityDenial;
  r.gk.SetScript(refusing);
  ASSERT_TRUE(r.gk.SendUnregistrationRequest(h225::UnregRequestReason::maintenance));
  ASSERT_TRUE(WaitUntil([&] { return FailReason(r.ep) == Gk::SecurityDenied; }));
  ASSERT_TRUE(r.gk.SendUnregistrationRequest(std::nullopt));  // refused: not registered
  r.gk.SetScript(script);
  ASSERT_TRUE(r.ep.UseGatekeeper(r.gk.Address()));
  r.ep.RemoveGatekeeper();
  ASSERT_TRUE(r.gk.WaitUntil([&](auto&) { return r.gk.MessagesOf(M::unregistrationRequest).size() == 1; }, 5s));

  std::vector<std::vector<std::uint8_t>> packets;
  std::vector<std::uint16_t> kinds;
  for (auto& m : r.gk.Messages()) {
    packets.push_back(m.bytes);
    kinds.push_back(m.message.Choice());
  }
  for (std::uint16_t kind : {M::gatekeeperRequest, M::registrationRequest, M::admissionRequest, M::infoRequestResponse,
                             M::disengageConfirm, M::disengageReject, M::disengageRequest, M::unregistrationConfirm,
                             M::unregistrationReject, M::unregistrationRequest})
    EXPECT_NE(std::find(kinds.begin(), kinds.end(), kind), kinds.end()) << kind;
  // Each packet's type as ours, nothing malformed; the full text without error, with every word.
  auto rows = judge.Ras(
      packets, {"h235.algorithmOID", "h225.dialledDigits", "h225.ipV4", "h225.timeToLive", "h225.protocolIdentifier",
                "h225.gatekeeperIdentifier", "h225.callReferenceValue", "h225.RasMessage", "_ws.malformed"});
  ASSERT_EQ(rows.size(), packets.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i]["h225.RasMessage"], std::to_string(kinds[i])) << i;
    EXPECT_EQ(rows[i]["_ws.malformed"], "") << i;
  }
  const std::string text = judge.VerboseH323(packets, false);
  for (const char* bad : {"Malformed", "Expert Info (Error", "Expert Info (Warning"})
    EXPECT_EQ(text.find(bad), std::string::npos) << text;
  for (const char* word : {"cryptoEPPwdHash", "nestedcryptoToken", "cryptoHashedToken", "1.2.840.113548.10.1.2.1",
                           "challenge:", "sendersID: 5550100", "keepAlive: True", "discoveryComplete: True",
                           "answerCall: True", "answerCall: False", "perCallInfo: 2 items", "unsolicited: True",
                           "disengageReason: normalDrop", "answeredCall: True", "releaseCompleteCauseIE: 8090",
                           "rejectReason: requestToDropOther", "srcCallSignalAddress", "callIdentifier"})
    EXPECT_NE(text.find(word), std::string::npos) << word;
  // The full registration: MD5 hash, CAT clear token and H.235.1 hash, each with its algorithm.
  const auto first =
      static_cast<std::size_t>(std::find(kinds.begin(), kinds.end(), M::registrationRequest) - kinds.begin());
  ASSERT_LT(first, rows.size());
  const std::string algorithms = rows[first]["h235.algorithmOID"];
  EXPECT_NE(algorithms.find("1.2.840.113549.2.5"), std::string::npos) << algorithms;
  EXPECT_NE(algorithms.find("0.0.8.235.0.2.6"), std::string::npos) << algorithms;
  EXPECT_EQ(rows[first]["h225.dialledDigits"].substr(0, 7), "5550100");
  EXPECT_EQ(rows[first]["h225.ipV4"], "127.0.0.1,127.0.0.1");  // call signalling, RAS
  EXPECT_EQ(rows[first]["h225.timeToLive"], "10");
  EXPECT_EQ(rows[first]["h225.protocolIdentifier"], "0.0.8.2250.0.7");
  EXPECT_EQ(rows[first]["h225.gatekeeperIdentifier"], script.identifier);
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (kinds[i] == M::admissionRequest || kinds[i] == M::disengageRequest) {
      const std::string reference = rows[i]["h225.callReferenceValue"];
      EXPECT_TRUE(reference == "4660" || reference == "9029") << reference;
    }
}

}  // namespace
}  // namespace vantro::test
