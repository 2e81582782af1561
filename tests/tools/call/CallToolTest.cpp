// vantro-call as scripts run it: `answer` and `call` against each other and against the test
// gatekeeper on 127.0.0.1, audio from and to WAV files judged by energy and frequency, keys across,
// and each exit code reached by a real failure of the call.

#include "runtime/PWAVFile.h"
#include "stack/asn/generated/H225.h"
#include "tests/support/SoundTestSupport.h"
#include "tests/support/TestGatekeeper.h"
#include "tests/tools/call/ToolProcess.h"

#include <asio.hpp>
#include <gtest/gtest.h>

#include <csignal>
#include <set>

using namespace std::chrono_literals;
using vantro::test::TestGatekeeper;
namespace ras = vantro::asn::h225;

namespace {

constexpr auto kLimit = 20s;  // for an end that should come in a second or two

class CallTool : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(PWAVFile::Write(Path("tone1000.wav"), PSound::Tones({1000}, 0.25, 4000)));
    ASSERT_TRUE(PWAVFile::Write(Path("tone600.wav"), PSound::Tones({600}, 0.25, 4000)));
  }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  std::unique_ptr<ToolProcess> Run(const std::string& name, std::vector<std::string> args) {
    args.insert(args.begin(), "--json");
    return std::make_unique<ToolProcess>(name, args, dir_.path());
  }

  // An answering tool listening on a port of its own; "" when it did not come up.
  std::unique_ptr<ToolProcess> Answerer(const std::string& name, std::vector<std::string> args, std::string& party) {
    args.insert(args.begin(), {"answer", "--listen", "127.0.0.1:0"});
    auto p = Run(name, args);
    const unsigned port = p->ListeningPort();
    party = port ? "line@127.0.0.1:" + std::to_string(port) : "";
    return p;
  }

  // Runs to the end and gives the exit code (-1: it did not end).
  static int ExitOf(ToolProcess& p) { return p.Wait(kLimit).value_or(-1); }

  TempDir dir_;
};

// The middle of a recording, away from the call's start and end.
std::vector<std::int16_t> Middle(const std::string& path) {
  PSound sound;
  EXPECT_TRUE(PWAVFile::Read(path, sound)) << path;
  EXPECT_EQ(sound.GetSampleRate(), 8000u);
  EXPECT_EQ(sound.GetChannels(), 1u);
  const auto& s = sound.GetSamples();
  if (s.size() < 8000) return {};
  return std::vector<std::int16_t>(s.begin() + 2000, s.end() - 2000);
}

double MeanLevel(const std::vector<std::int16_t>& samples) {
  double sum = 0;
  for (auto s : samples) sum += std::abs(static_cast<int>(s));
  return samples.empty() ? 0 : sum / static_cast<double>(samples.size());
}

}  // namespace

TEST_F(CallTool, TwoToolsTalkWavToWavAndPassKeys) {
  std::string party;
  auto answer =
      Answerer("answer",
               {"--max-calls", "1", "--wav-in", Path("tone1000.wav"), "--wav-out", Path("heard-by-answer.wav")}, party);
  ASSERT_FALSE(party.empty()) << answer->Transcript();
  auto call = Run("call", {"call", party, "--wav-in", Path("tone600.wav"), "--wav-out", Path("heard-by-caller.wav"),
                           "--duration", "3", "--dtmf", "12#", "--dtmf-gap", "200"});
  ASSERT_EQ(ExitOf(*call), 0) << call->Transcript();
  ASSERT_EQ(ExitOf(*answer), 0) << answer->Transcript();

  // Each step in its order, with its time.
  const std::set<std::string> kinds{"calling",  "setup-sent", "connected", "dtmf-sent",
                                    "clearing", "cleared",    "summary",   "exit"};
  std::vector<std::string> steps = call->EventNames();
  std::erase_if(steps, [&](const std::string& n) { return !kinds.count(n); });
  EXPECT_EQ(steps, (std::vector<std::string>{"calling", "setup-sent", "connected", "dtmf-sent", "dtmf-sent",
                                             "dtmf-sent", "clearing", "cleared", "summary", "exit"}))
      << call->Transcript();
  EXPECT_EQ(call->Events("media-started").size(), 2u) << call->Transcript();

  // The keys arrive in order and are printed as they come.
  std::string keys;
  for (const auto& line : answer->Events("dtmf-received")) keys += JsonField(line, "keys");
  EXPECT_EQ(keys, "12#") << answer->Transcript();

  for (auto* p : {call.get(), answer.get()}) {
    const auto summary = p->Events("summary");
    ASSERT_EQ(summary.size(), 1u) << p->Transcript();
    EXPECT_EQ(JsonField(summary[0], "established"), "true");
    EXPECT_EQ(JsonField(summary[0], "exitCode"), "0");
    EXPECT_EQ(JsonField(JsonField(summary[0], "codec"), "receive"), "G.729A");
    // 20 ms packets each way: fifty a second of the call, each counted once.
    const double seconds = std::stod(JsonField(summary[0], "connectedSeconds"));
    for (const char* direction : {"sent", "received"}) {
      const double packets = std::stod(JsonField(JsonField(summary[0], direction), "packets"));
      EXPECT_GT(packets, seconds * 50 * 0.8) << direction << ": " << summary[0];
      EXPECT_LT(packets, seconds * 50 + 15) << direction << ": " << summary[0];
    }
    EXPECT_GT(std::stod(JsonField(summary[0], "levelHeard")), 1000) << summary[0];
  }
  EXPECT_EQ(JsonField(answer->Events("summary")[0], "dtmfReceived"), "12#");

  // Each side heard the other's tone and nothing of its own.
  const auto byAnswer = Middle(Path("heard-by-answer.wav"));
  const auto byCaller = Middle(Path("heard-by-caller.wav"));
  EXPECT_GT(MeanLevel(byAnswer), 1500);
  EXPECT_GT(MeanLevel(byCaller), 1500);
  EXPECT_GT(ToneAmplitude(byAnswer, 600), 0.15);
  EXPECT_LT(ToneAmplitude(byAnswer, 1000), 0.02);
  EXPECT_GT(ToneAmplitude(byCaller, 1000), 0.15);
  EXPECT_LT(ToneAmplitude(byCaller, 600), 0.02);
}

TEST_F(CallTool, CallsByNumberThroughARoutingGatekeeperWithoutFastStartOrTunnel) {
  TestGatekeeper::Script script;
  script.routed = true;
  TestGatekeeper gk(script);
  auto answer = Run("answer", {"answer", "--listen", "127.0.0.1:0", "--gatekeeper", gk.Address(), "--user", "5550200",
                               "--max-calls", "1", "--wav-in", Path("tone1000.wav")});
  ASSERT_TRUE(answer->WaitForEvent("registered", kLimit)) << answer->Transcript();
  auto call = Run("call", {"call", "5550200@", "--gatekeeper", gk.Address(), "--user", "5550100", "--codec", "g711a",
                           "--no-fast-start", "--no-tunnel", "--duration", "2", "--wav-out", Path("heard.wav")});
  ASSERT_EQ(ExitOf(*call), 0) << call->Transcript();
  ASSERT_EQ(ExitOf(*answer), 0) << answer->Transcript();

  EXPECT_TRUE(call->WaitForEvent("admitted", 0s, "gatekeeper routed")) << call->Transcript();
  EXPECT_TRUE(call->WaitForEvent("h245", 0s, "separate connection")) << call->Transcript();
  EXPECT_TRUE(call->Events("fast-start").empty()) << call->Transcript();
  const std::string summary = call->Events("summary").at(0);
  EXPECT_EQ(JsonField(summary, "codec"), R"({"transmit":"G.711-ALaw-64k","receive":"G.711-ALaw-64k"})");
  for (const char* step : {"admission", "connect"})
    EXPECT_FALSE(JsonField(JsonField(summary, "setupMs"), step).empty()) << step << ": " << summary;
  EXPECT_GT(ToneAmplitude(Middle(Path("heard.wav")), 1000), 0.15);

  EXPECT_EQ(gk.Relay().SetupsRelayed(), 1u);
  EXPECT_EQ(gk.Relay().H245Joined(), 1u);
  // Both ended their admission and unregistered before they exited.
  EXPECT_EQ(gk.MessagesOf(ras::RasMessage::disengageRequest).size(), 2u);
  EXPECT_EQ(gk.MessagesOf(ras::RasMessage::unregistrationRequest).size(), 2u);
}

TEST_F(CallTool, RegistrationFailuresHaveTheirExitCodes) {
  // Nothing answers at the gatekeeper's address: a port held by a socket that never says a word.
  asio::io_context io;
  asio::ip::udp::socket silent(io, asio::ip::udp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
  const std::string nowhere = "127.0.0.1:" + std::to_string(silent.local_endpoint().port());
  auto noGatekeeper = Run("no-gk", {"call", "5550200@", "--gatekeeper", nowhere, "--timeout", "1"});
  EXPECT_EQ(ExitOf(*noGatekeeper), 3) << noGatekeeper->Transcript();
  EXPECT_TRUE(noGatekeeper->WaitForEvent("registration-failed", 0s, "no gatekeeper answered"))
      << noGatekeeper->Transcript();
  EXPECT_TRUE(noGatekeeper->Events("calling").empty());

  TestGatekeeper::Script script;
  script.auth = TestGatekeeper::Auth::Md5;
  script.password = "secret";
  TestGatekeeper gk(script);
  auto wrongPassword =
      Run("wrong-pw", {"call", "5550200@", "--gatekeeper", gk.Address(), "--user", "5550100", "--password", "guessed"});
  EXPECT_EQ(ExitOf(*wrongPassword), 4) << wrongPassword->Transcript();
  EXPECT_TRUE(wrongPassword->WaitForEvent("registration-failed", 0s, "password")) << wrongPassword->Transcript();
  EXPECT_FALSE(gk.LastTokensValid());

  // The right password gets through to the call, which the gatekeeper refuses: nobody has that number.
  auto unknown =
      Run("unknown", {"call", "5559999@", "--gatekeeper", gk.Address(), "--user", "5550100", "--password", "secret"});
  EXPECT_EQ(ExitOf(*unknown), 5) << unknown->Transcript();
  EXPECT_TRUE(unknown->WaitForEvent("admission", 0s)) << unknown->Transcript();
  EXPECT_TRUE(unknown->WaitForEvent("cleared", 0s, "EndedByNoUser")) << unknown->Transcript();
  EXPECT_EQ(gk.MessagesOf(ras::RasMessage::admissionRequest).size(), 1u);
}

TEST_F(CallTool, BusyNoAnswerUnreachableAndMediaFailureHaveTheirExitCodes) {
  // Busy: the answerer is in a call already.
  std::string party;
  auto answer = Answerer("busy-answer", {"--max-calls", "1"}, party);
  ASSERT_FALSE(party.empty()) << answer->Transcript();
  auto first = Run("first", {"call", party, "--duration", "3"});
  ASSERT_TRUE(first->WaitForEvent("connected", kLimit)) << first->Transcript();
  auto second = Run("second", {"call", party});
  EXPECT_EQ(ExitOf(*second), 7) << second->Transcript();
  EXPECT_TRUE(second->WaitForEvent("cleared", 0s, "EndedByRemoteBusy")) << second->Transcript();
  EXPECT_EQ(ExitOf(*first), 0) << first->Transcript();
  EXPECT_EQ(ExitOf(*answer), 0) << answer->Transcript();

  // No answer: the far end rings and would answer only after half a minute.
  auto ringing = Answerer("ringing", {"--max-calls", "1", "--answer-delay", "30"}, party);
  ASSERT_FALSE(party.empty()) << ringing->Transcript();
  auto unanswered = Run("unanswered", {"call", party, "--timeout", "1"});
  EXPECT_EQ(ExitOf(*unanswered), 6) << unanswered->Transcript();
  EXPECT_TRUE(unanswered->WaitForEvent("alerting", 0s)) << unanswered->Transcript();
  EXPECT_TRUE(unanswered->WaitForEvent("timeout", 0s)) << unanswered->Transcript();
  EXPECT_TRUE(unanswered->Events("connected").empty());
  EXPECT_TRUE(ringing->WaitForEvent("incoming", 0s)) << ringing->Transcript();
  EXPECT_TRUE(ringing->Events("answering").empty());
  ExitOf(*ringing);

  // A far end that takes the connection (the system does, for a listener that accepts nothing) and
  // never says a word to the Setup is not reachable, whatever the timeout.
  asio::io_context io;
  asio::ip::tcp::acceptor mute(io, asio::ip::tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
  auto silent =
      Run("silent", {"call", "line@127.0.0.1:" + std::to_string(mute.local_endpoint().port()), "--timeout", "1"});
  EXPECT_EQ(ExitOf(*silent), 8) << silent->Transcript();
  EXPECT_TRUE(silent->WaitForEvent("setup-sent", 0s)) << silent->Transcript();
  EXPECT_TRUE(silent->WaitForEvent("cleared", 0s, "EndedByTransportFail")) << silent->Transcript();

  // Unreachable: nothing listens at the address (a port just given up).
  asio::ip::tcp::acceptor closed(io, asio::ip::tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
  const std::string deadParty = "line@127.0.0.1:" + std::to_string(closed.local_endpoint().port());
  closed.close();
  auto unreachable = Run("unreachable", {"call", deadParty});
  EXPECT_EQ(ExitOf(*unreachable), 8) << unreachable->Transcript();

  // Media failed: the two sides have no codec in common.
  auto g711 = Answerer("g711", {"--max-calls", "1", "--codec", "g711u"}, party);
  ASSERT_FALSE(party.empty()) << g711->Transcript();
  auto g729 = Run("g729", {"call", party, "--codec", "g729a", "--duration", "3"});
  EXPECT_EQ(ExitOf(*g729), 9) << g729->Transcript();
  EXPECT_EQ(ExitOf(*g711), 9) << g711->Transcript();
}

TEST_F(CallTool, SignalsClearTheCallAndUnregister) {
  TestGatekeeper gk;
  auto answer = Run("answer", {"answer", "--listen", "127.0.0.1:0", "--gatekeeper", gk.Address(), "--user", "5550200"});
  ASSERT_TRUE(answer->WaitForEvent("registered", kLimit)) << answer->Transcript();
  auto call = Run("call", {"call", "5550200@", "--gatekeeper", gk.Address(), "--user", "5550100"});
  ASSERT_TRUE(call->WaitForEvent("connected", kLimit)) << call->Transcript();
  call->Signal(SIGTERM);
  // A call that was established and then hung up is a good line.
  EXPECT_EQ(ExitOf(*call), 0) << call->Transcript();
  EXPECT_TRUE(call->WaitForEvent("interrupted", 0s, "SIGTERM")) << call->Transcript();
  EXPECT_TRUE(answer->WaitForEvent("cleared", kLimit, "EndedByRemoteUser")) << answer->Transcript();
  EXPECT_TRUE(gk.WaitUntil(
      [](const auto& messages) {
        return std::count_if(messages.begin(), messages.end(),
                             [](const auto& m) { return m.message.Is(ras::RasMessage::unregistrationRequest); }) == 1;
      },
      kLimit));

  // The answerer waits for more calls until it is told to stop.
  EXPECT_FALSE(answer->Wait(200ms));
  answer->Signal(SIGINT);
  EXPECT_EQ(ExitOf(*answer), 0) << answer->Transcript();
  EXPECT_EQ(gk.MessagesOf(ras::RasMessage::unregistrationRequest).size(), 2u);

  // Interrupted before the far end answered.
  std::string party;
  auto ringing = Answerer("ringing", {"--max-calls", "1", "--answer-delay", "30"}, party);
  ASSERT_FALSE(party.empty()) << ringing->Transcript();
  auto impatient = Run("impatient", {"call", party});
  ASSERT_TRUE(impatient->WaitForEvent("alerting", kLimit)) << impatient->Transcript();
  impatient->Signal(SIGINT);
  EXPECT_EQ(ExitOf(*impatient), 10) << impatient->Transcript();
}

TEST_F(CallTool, WaitsForACallOnlyAsLongAsAskedAndRefusesWhatItCannotUse) {
  auto idle = Run("idle", {"answer", "--listen", "127.0.0.1:0", "--timeout", "0.5"});
  EXPECT_EQ(ExitOf(*idle), 11) << idle->Transcript();

  WriteFileBytes(dir_ / "broken.wav", "RIFF....WAVEfmt ");
  auto broken = Run("broken", {"call", "line@127.0.0.1:1", "--wav-in", Path("broken.wav")});
  EXPECT_EQ(ExitOf(*broken), 2) << broken->Transcript();
  EXPECT_TRUE(broken->WaitForEvent("error", 0s, "cannot send " + Path("broken.wav"))) << broken->Transcript();
  EXPECT_TRUE(broken->Events("calling").empty());

  auto typo = Run("typo", {"call", "line@127.0.0.1:1", "--duraton", "3"});
  EXPECT_EQ(ExitOf(*typo), 2);
  EXPECT_NE(typo->Errors().find("unknown option --duraton"), std::string::npos) << typo->Transcript();
}
