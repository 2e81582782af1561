// The dialer asked to end by a signal (a desktop logout, `kill`, Ctrl-C, a closed terminal) ends as
// its close control ends it: the call cleared, the registration removed, exit code 0. A cancelled
// sign-in ends the program too. The dialer runs as a process of its own against the test
// gatekeeper on 127.0.0.1, with no sound server.
#include <signal.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "stack/asn/generated/H225.h"
#include "tests/stack/endpoint/TestPhone.h"
#include "tests/support/Programs.h"
#include "tests/support/SoundTestSupport.h"
#include "tests/support/TestGatekeeper.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Ras = vantro::asn::h225::RasMessage;

namespace {

const std::string kDialerNumber = "5550100";

class DialerProcess : public ::testing::Test {
 protected:
  DialerProcess() { fs::create_directory(dir / "data1"); }

  // Starts the probe; with "signin", waits until the dialer has registered.
  void Start(const std::vector<std::string>& args) {
    dialer.pid = Spawn(args, CurrentEnvironment(), dir / "output", dir.path());
    ASSERT_GT(dialer.pid, 0);
    ASSERT_TRUE(args[1] != "signin" || (WaitFor(30s, [&] { return Registered() || Ended(); }) && !Ended())) << Output();
  }

  // Sends the signal (none: 0) and waits for the program's end; its exit code, -1 when it did not exit.
  int EndWith(int signal) {
    if (signal) ::kill(dialer.pid, signal);
    if (!WaitFor(20s, [&] { return Ended(); })) return -1;
    return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
  }

  bool Registered() const {
    for (const auto& r : gatekeeper.Registrations())
      if (std::find(r.aliases.begin(), r.aliases.end(), kDialerNumber) != r.aliases.end()) return true;
    return false;
  }

  bool Ended() { return m_ended || (m_ended = ::waitpid(dialer.pid, &m_status, WNOHANG) == dialer.pid); }

  std::string Output() const { return ReadFileBytes(dir / "output"); }

  // Whether the program ended before its window showed, having stored nothing.
  void EndedBeforeAnyWindow() {
    EXPECT_EQ(Output().find("window shown"), std::string::npos);
    EXPECT_EQ(Output().find("returned"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "data1/Dialer.property"));
  }

  TempDir dir;
  NoServer noSound;  // the program inherits it
  vantro::test::TestGatekeeper gatekeeper;
  ChildGuard dialer;

 private:
  bool m_ended = false;
  int m_status = 0;
};

class EndSignal : public DialerProcess, public ::testing::WithParamInterface<int> {};

}  // namespace

// What the sign-in does with an incomplete account is Startup's; here the end of the program is a real one.
TEST_F(DialerProcess, ACancelledSignInEndsTheProcessWithCodeZeroBeforeAnyWindowShows) {
  Start({SIGNIN_PROBE, "cancel"});
  EXPECT_EQ(EndWith(0), 0) << Output();
  EndedBeforeAnyWindow();
}

TEST_P(EndSignal, ClearsTheCallBeforeUnregistering) {
  vantro::test::TestPhone far("5550200", 1000, 23800);
  ASSERT_TRUE(far.Register(gatekeeper.Address()));
  ASSERT_NO_FATAL_FAILURE(Start({SIGNIN_PROBE, "signin", gatekeeper.Address(), kDialerNumber}));
  std::string token;
  ASSERT_TRUE(far.MakeCall(kDialerNumber + "@", token));
  ASSERT_TRUE(far.WaitFor([&] { return !far.Established().empty(); }, 20s)) << Output();

  EXPECT_EQ(EndWith(GetParam()), 0) << Output();
  ASSERT_TRUE(far.WaitCleared(1));
  EXPECT_EQ(far.ClearedCalls()[0].reason, vantro::endpoint::H323Connection::EndedByRemoteUser);  // its Release Complete
  // The dialer told the gatekeeper of the call's end before it unregistered.
  const auto messages = gatekeeper.Messages();
  const auto unregistration = std::find_if(
      messages.begin(), messages.end(), [](const auto& m) { return m.message.Choice() == Ras::unregistrationRequest; });
  ASSERT_NE(unregistration, messages.end()) << Output();
  EXPECT_TRUE(std::any_of(messages.begin(), unregistration, [&](const auto& m) {
    return m.message.Choice() == Ras::disengageRequest && m.from == unregistration->from;
  }));
}

INSTANTIATE_TEST_SUITE_P(Signals, EndSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });
