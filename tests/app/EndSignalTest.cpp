// The dialer asked to end by a signal (a desktop logout, `kill`, Ctrl-C, a closed terminal) ends
// as its close control ends it: the call is cleared, the registration removed, and the program
// exits with code 0. A cancelled sign-in ends the program too. The program runs in a process of its
// own against the test gatekeeper on 127.0.0.1, with no sound server.
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "stack/asn/generated/H225.h"
#include "tests/support/Programs.h"
#include "tests/stack/endpoint/TestPhone.h"
#include "tests/support/SoundTestSupport.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestGatekeeper.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using vantro::endpoint::H323Connection;
using vantro::test::TestGatekeeper;
using vantro::test::TestPhone;
using Ras = vantro::asn::h225::RasMessage;

namespace {

const std::string kDialerNumber = "5550100";

class DialerProcess : public ::testing::Test {
 protected:
  DialerProcess() { fs::create_directory(dir / "data1"); }

  void Start(const std::vector<std::string>& args) {
    dialer.pid = Spawn(args, CurrentEnvironment(), dir / "output", dir.path());
    ASSERT_GT(dialer.pid, 0);
  }

  // Starts the dialer, signs in and waits until it has registered.
  void StartDialer() {
    Start({SIGNIN_PROBE, "signin", gatekeeper.Address(), kDialerNumber});
    if (HasFatalFailure()) return;
    ASSERT_TRUE(WaitFor(30s, [&] { return Registered() || Ended(); })) << Output();
    ASSERT_FALSE(Ended()) << Output();
  }

  // Sends the signal and waits for the program's end; its exit code, -1 when it did not exit.
  int EndWith(int signal) {
    ::kill(dialer.pid, signal);
    return ExitCode();
  }

  // Waits for the program's end; its exit code, -1 when it did not exit.
  int ExitCode() {
    if (!WaitFor(20s, [&] { return Ended(); })) return -1;
    return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
  }

  // Whether the gatekeeper holds the dialer's registration.
  bool Registered() const {
    for (const auto& r : gatekeeper.Registrations())
      if (std::find(r.aliases.begin(), r.aliases.end(), kDialerNumber) != r.aliases.end()) return true;
    return false;
  }

  bool Ended() {
    if (m_ended) return true;
    m_ended = ::waitpid(dialer.pid, &m_status, WNOHANG) == dialer.pid;
    return m_ended;
  }

  std::string Output() const { return ReadFileBytes(dir / "output"); }

  size_t Received(std::uint16_t kind) const { return gatekeeper.MessagesOf(kind).size(); }

  TempDir dir;
  NoServer noSound;  // the program inherits it
  TestGatekeeper gatekeeper;
  ChildGuard dialer;

 private:
  bool m_ended = false;
  int m_status = 0;
};

class EndSignal : public DialerProcess, public ::testing::WithParamInterface<int> {};

}  // namespace

// What the sign-in does with an incomplete account is Startup's (its message and the end of the
// program); here the end of the program is a real one.
TEST_F(DialerProcess, ACancelledSignInEndsTheProcessWithCodeZeroBeforeAnyWindowShows) {
  Start({SIGNIN_PROBE, "cancel"});
  EXPECT_EQ(ExitCode(), 0) << Output();
  EXPECT_EQ(Output().find("window shown"), std::string::npos);
  EXPECT_EQ(Output().find("returned"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "data1/Dialer.property"));  // nothing was stored
}

TEST_P(EndSignal, UnregistersAndExitsWithCodeZero) {
  ASSERT_NO_FATAL_FAILURE(StartDialer());
  EXPECT_EQ(Received(Ras::unregistrationRequest), 0u);
  EXPECT_EQ(EndWith(GetParam()), 0) << Output();
  EXPECT_GE(Received(Ras::unregistrationRequest), 1u) << Output();
  EXPECT_FALSE(Registered());
}

// At sign-in nothing is registered yet: the dialog is cancelled and the program ends.
TEST_P(EndSignal, AtSignInEndsTheProgramWithCodeZero) {
  Start({SIGNIN_PROBE, "wait"});
  ASSERT_TRUE(WaitFor(30s, [&] { return Output().find("sign-in shown") != std::string::npos; })) << Output();
  EXPECT_EQ(EndWith(GetParam()), 0) << Output();
  EXPECT_EQ(Output().find("window shown"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "data1/Dialer.property"));
}

TEST_P(EndSignal, ClearsTheCallBeforeUnregistering) {
  TestPhone far("5550200", 1000, 23800);
  ASSERT_TRUE(far.Register(gatekeeper.Address()));
  ASSERT_NO_FATAL_FAILURE(StartDialer());
  std::string token;
  ASSERT_TRUE(far.MakeCall(kDialerNumber + "@", token));
  ASSERT_TRUE(far.WaitFor([&] { return !far.Established().empty(); }, 20s)) << Output();

  EXPECT_EQ(EndWith(GetParam()), 0) << Output();
  ASSERT_TRUE(far.WaitCleared(1));
  const auto cleared = far.ClearedCalls();
  EXPECT_EQ(cleared[0].reason, H323Connection::EndedByRemoteUser);  // its Release Complete
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
