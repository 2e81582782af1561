// vantro-call as scripts run it: `answer` and `call` against each other and against the test
// gatekeeper on 127.0.0.1, audio from and to WAV files judged by energy and frequency, keys across,
// and each exit code reached by a real failure of the call.
#include "runtime/PWAVFile.h"
#include "stack/asn/generated/H225.h"
#include "tests/support/SoundTestSupport.h"
#include "tests/support/TestGatekeeper.h"
#include "tests/support/Programs.h"

#include <asio.hpp>
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <csignal>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>

using namespace std::chrono_literals;
using vantro::test::TestGatekeeper;
using Ras = vantro::asn::h225::RasMessage;

namespace {

// The value of a member of a one-line JSON object: a string's text unescaped (only the escapes
// vantro-call writes for ASCII), an object's or a number's text as it stands. Empty when missing.
inline std::string JsonField(const std::string& json, const std::string& key) {
  const std::string quoted = "\"" + key + "\":";
  std::size_t at = json.find(quoted);
  if (at == std::string::npos || (at += quoted.size()) >= json.size()) return "";
  if (json[at] == '"') {
    std::string text;
    for (std::size_t i = at + 1; i < json.size() && json[i] != '"'; ++i) {
      if (json[i] == '\\' && i + 1 < json.size()) {
        const char c = json[++i];
        text += c == 'n' ? '\n' : c == 't' ? '\t' : c;
      } else {
        text += json[i];
      }
    }
    return text;
  }
  if (json[at] == '{') {
    for (std::size_t i = at, depth = 0; i < json.size(); ++i) {
      depth += json[i] == '{';
      if (json[i] == '}' && --depth == 0) return json.substr(at, i - at + 1);
    }
    return "";
  }
  return json.substr(at, json.find_first_of(",}", at) - at);
}

// vantro-call run as a child process, as a script runs it: output and errors in files, exit code, signals.
class ToolProcess {
 public:
  // Starts the program (VANTRO_CALL_PROGRAM) with args; its output goes to folder/name.out and .err.
  ToolProcess(const std::string& name, const std::vector<std::string>& args, const std::filesystem::path& folder)
      : out_(folder / (name + ".out")), err_(folder / (name + ".err")) {
    std::vector<std::string> all{VANTRO_CALL_PROGRAM};
    all.insert(all.end(), args.begin(), args.end());
    pid_ = Spawn(all, CurrentEnvironment(), out_, {}, err_);
    if (pid_ <= 0) throw std::runtime_error("cannot start " + all[0]);
  }
  ~ToolProcess() {  // kills it when it still runs
    Signal(SIGKILL);
    if (!status_) ::waitpid(pid_, nullptr, 0);
  }
  ToolProcess(const ToolProcess&) = delete;
  ToolProcess& operator=(const ToolProcess&) = delete;

  std::string Errors() const { return ReadFileBytes(err_); }
  std::string Transcript() const { return "--- output\n" + ReadFileBytes(out_) + "--- errors\n" + Errors(); }

  std::vector<std::string> Events(const std::string& event) const {
    std::vector<std::string> found = Lines();
    std::erase_if(found, [&](const std::string& line) { return JsonField(line, "event") != event; });
    return found;
  }
  // The first line of the event that holds also, once it came; nullopt after limit.
  std::optional<std::string> WaitForEvent(const std::string& event, std::chrono::milliseconds limit,
                                          const std::string& also = "") const {
    for (const auto end = std::chrono::steady_clock::now() + limit;; Nap()) {
      for (const auto& line : Events(event))
        if (line.find(also) != std::string::npos) return line;
      if (std::chrono::steady_clock::now() >= end) return std::nullopt;
    }
  }
  unsigned ListeningPort() const {  // of its "listening" event
    const auto line = WaitForEvent("listening", std::chrono::seconds(10));
    return line ? static_cast<unsigned>(std::stoul("0" + JsonField(*line, "port"))) : 0;
  }

  // The exit code, or nullopt when the program still runs after limit (or died of a signal).
  std::optional<int> Wait(std::chrono::milliseconds limit) {
    for (const auto end = std::chrono::steady_clock::now() + limit; !status_; Nap()) {
      if (int status = 0; ::waitpid(pid_, &status, WNOHANG) == pid_)
        status_ = status;
      else if (std::chrono::steady_clock::now() >= end)
        return std::nullopt;
    }
    return WIFEXITED(*status_) ? std::optional(WEXITSTATUS(*status_)) : std::nullopt;
  }
  void Signal(int signal) {
    if (!status_) ::kill(pid_, signal);
  }

 private:
  static void Nap() { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::istringstream in(ReadFileBytes(out_));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  std::filesystem::path out_, err_;
  pid_t pid_ = -1;
  std::optional<int> status_;
};

constexpr auto kLimit = 20s;  // for an end that should come in a second or two

std::string Party(unsigned port) { return "line@127.0.0.1:" + std::to_string(port); }

class CallTool : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  std::unique_ptr<ToolProcess> Run(const std::string& name, std::vector<std::string> args) {
    args.insert(args.begin(), "--json");
    return std::make_unique<ToolProcess>(name, args, dir_.path());
  }

  // An answering tool listening on a port of its own; party is "" when it did not come up.
  std::unique_ptr<ToolProcess> Answerer(const std::string& name, std::vector<std::string> args, std::string& party) {
    args.insert(args.begin(), {"answer", "--listen", "127.0.0.1:0"});
    auto p = Run(name, args);
    const unsigned port = p->ListeningPort();
    party = port ? Party(port) : "";
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
  return s.size() < 8000 ? std::vector<std::int16_t>{} : std::vector<std::int16_t>(s.begin() + 2000, s.end() - 2000);
}

}  // namespace

TEST_F(CallTool, TwoToolsTalkWavToWavAndPassKeys) {
  ASSERT_TRUE(PWAVFile::Write(Path("tone1000.wav"), PSound::Tones({1000}, 0.25, 4000)));
  ASSERT_TRUE(PWAVFile::Write(Path("tone600.wav"), PSound::Tones({600}, 0.25, 4000)));
  std::string party;
  auto answer =
      Answerer("answer",
               {"--max-calls", "1", "--wav-in", Path("tone1000.wav"), "--wav-out", Path("heard-by-answer.wav")}, party);
  ASSERT_FALSE(party.empty()) << answer->Transcript();
  auto call = Run("call", {"call", party, "--wav-in", Path("tone600.wav"), "--wav-out", Path("heard-by-caller.wav"),
                           "--duration", "3", "--dtmf", "12#", "--dtmf-gap", "200"});
  ASSERT_EQ(ExitOf(*call), 0) << call->Transcript();
  ASSERT_EQ(ExitOf(*answer), 0) << answer->Transcript();

  // The keys arrive in order and are printed as they come.
  std::string keys;
  for (const auto& line : answer->Events("dtmf-received")) keys += JsonField(line, "keys");
  EXPECT_EQ(keys, "12#") << answer->Transcript();
  EXPECT_EQ(JsonField(answer->Events("summary").at(0), "dtmfReceived"), "12#");

  for (auto* p : {call.get(), answer.get()}) {
    ASSERT_EQ(p->Events("summary").size(), 1u) << p->Transcript();
    const std::string summary = p->Events("summary")[0];
    EXPECT_EQ(JsonField(summary, "established"), "true");
    EXPECT_EQ(JsonField(summary, "exitCode"), "0");
    EXPECT_EQ(JsonField(JsonField(summary, "codec"), "receive"), "G.729A");
    // 20 ms packets each way: fifty a second of the call, each counted once.
    const double seconds = std::stod(JsonField(summary, "connectedSeconds"));
    for (const char* direction : {"sent", "received"}) {
      const double packets = std::stod(JsonField(JsonField(summary, direction), "packets"));
      EXPECT_GT(packets, seconds * 50 * 0.8) << direction << ": " << summary;
      EXPECT_LT(packets, seconds * 50 + 15) << direction << ": " << summary;
    }
    EXPECT_GT(std::stod(JsonField(summary, "levelHeard")), 1000) << summary;
  }
  // Each side heard the other's tone and nothing of its own.
  const auto byAnswer = Middle(Path("heard-by-answer.wav")), byCaller = Middle(Path("heard-by-caller.wav"));
  EXPECT_GT(ToneAmplitude(byAnswer, 600), 0.15);
  EXPECT_LT(ToneAmplitude(byAnswer, 1000), 0.02);
  EXPECT_GT(ToneAmplitude(byCaller, 1000), 0.15);
  EXPECT_LT(ToneAmplitude(byCaller, 600), 0.02);
}

TEST_F(CallTool, EachFailureHasItsExitCode) {
  // A gatekeeper's address where nothing answers, and a far end that takes the connection (the
  // system does, for a listener that accepts nothing) and never says a word.
  asio::io_context io;
  const auto localhost = asio::ip::make_address("127.0.0.1");
  asio::ip::udp::socket silentGk(io, asio::ip::udp::endpoint(localhost, 0));
  asio::ip::tcp::acceptor mute(io, asio::ip::tcp::endpoint(localhost, 0));
  const std::string nowhere = "127.0.0.1:" + std::to_string(silentGk.local_endpoint().port());
  TestGatekeeper::Script script;
  script.auth = TestGatekeeper::Auth::Md5;
  script.password = "secret";
  TestGatekeeper gk(script);
  // Far ends: one in a call already, one that would answer only after half a minute, one of G.711 only.
  std::string busy, ringing, g711;
  auto busyAnswer = Answerer("busy-answer", {"--max-calls", "1"}, busy);
  auto ringingAnswer = Answerer("ringing", {"--max-calls", "1", "--answer-delay", "30"}, ringing);
  auto g711Answer = Answerer("g711", {"--max-calls", "1", "--codec", "g711u"}, g711);
  ASSERT_TRUE(!busy.empty() && !ringing.empty() && !g711.empty());
  auto first = Run("first", {"call", busy, "--duration", "3"});
  ASSERT_TRUE(first->WaitForEvent("connected", kLimit)) << first->Transcript();
  WriteFileBytes(dir_ / "broken.wav", "RIFF....WAVEfmt ");

  // What each prints: "event" or "event:text in its line"; ":text" is on the error stream.
  const struct {
    const char* name;
    std::vector<std::string> args;
    int exit;
    std::vector<std::string> shows;
  } cases[] = {
      {"busy", {"call", busy}, 7, {"cleared:EndedByRemoteBusy"}},
      {"no-gk",
       {"call", "5550200@", "--gatekeeper", nowhere, "--timeout", "1"},
       3,
       {"registration-failed:no gatekeeper answered"}},
      {"nobody",
       {"call", "5559999@", "--gatekeeper", gk.Address(), "--user", "5550100", "--password", "secret"},
       5,
       {"admission", "cleared:EndedByNoUser"}},
      {"wrong-pw",
       {"call", "5550200@", "--gatekeeper", gk.Address(), "--user", "5550100", "--password", "guessed"},
       4,
       {"registration-failed:password"}},
      {"unanswered", {"call", ringing, "--timeout", "1"}, 6, {"alerting", "timeout"}},
      // Not reachable, whatever the timeout, when the Setup goes unanswered.
      {"silent",
       {"call", Party(mute.local_endpoint().port()), "--timeout", "1"},
       8,
       {"setup-sent", "cleared:EndedByTransportFail"}},
      {"no-codec", {"call", g711, "--codec", "g729a", "--duration", "3"}, 9, {}},
      {"idle", {"answer", "--listen", "127.0.0.1:0", "--timeout", "0.5"}, 11, {}},
      {"broken",
       {"call", "line@127.0.0.1:1", "--wav-in", Path("broken.wav")},
       2,
       {"error:cannot send " + Path("broken.wav")}},
      {"typo", {"call", "line@127.0.0.1:1", "--duraton", "3"}, 2, {":unknown option --duraton"}},
  };
  for (const auto& c : cases) {
    auto p = Run(c.name, c.args);
    EXPECT_EQ(ExitOf(*p), c.exit) << p->Transcript();
    for (const std::string& shown : c.shows) {
      const std::string event = shown.substr(0, shown.find(':')), text = shown.substr(event.size() + (event != shown));
      EXPECT_TRUE(event.empty() ? p->Errors().find(text) != std::string::npos : !!p->WaitForEvent(event, 0s, text))
          << shown << "\n"
          << p->Transcript();
    }
    EXPECT_TRUE(c.exit > 4 || p->Events("calling").empty()) << "it failed before calling: " << p->Transcript();
    EXPECT_TRUE(c.exit != 6 || p->Events("connected").empty()) << p->Transcript();
  }
  EXPECT_FALSE(gk.LastTokensValid());  // the wrong password's
  EXPECT_EQ(gk.MessagesOf(Ras::admissionRequest).size(), 1u);
  EXPECT_EQ(ExitOf(*first), 0) << first->Transcript();
  EXPECT_EQ(ExitOf(*busyAnswer), 0) << busyAnswer->Transcript();
  EXPECT_EQ(ExitOf(*g711Answer), 9) << g711Answer->Transcript();
  EXPECT_TRUE(ringingAnswer->WaitForEvent("incoming", 0s)) << ringingAnswer->Transcript();
  EXPECT_TRUE(ringingAnswer->Events("answering").empty());
}
