// Registration as the window shows it, against the test gatekeeper on 127.0.0.1: the registration
// line, the messages, the balance refresh, registering again, and closing while it waits.
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/DialogItems.h"
#include "platform/MessageBox.h"
#include "platform/WaitCursor.h"
#include "stack/asn/generated/H225.h"
#include "tests/dialer/WindowControls.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/WorkFolder.h"
#include "tests/stack/endpoint/RegistrationFixture.h"
#include "tests/support/TestGatekeeper.h"

using namespace std::chrono_literals;
using vantro::test::FastTimings;
using vantro::test::TestGatekeeper;
namespace h225 = vantro::asn::h225;

namespace {

class DialerRegistration : public ::testing::Test {
 protected:
  DialerRegistration() {
    SetMessageBoxHook([this](QWidget*, const std::string& text, const std::string& caption, unsigned) {
      boxes.push_back(text);
      captions.push_back(caption);
      return IDOK;
    });
  }
  ~DialerRegistration() override { SetMessageBoxHook(nullptr); }

  // A window with a complete account, its endpoint on 127.0.0.1, pointed at the gatekeeper.
  // (What the password flag gives the endpoint is DialerEndPoint's; its tokens are the stack's.)
  std::unique_ptr<CDialerDlg> Window(const TestGatekeeper& gk, vantro::ras::RasTimings timings = FastTimings()) {
    const CAccount account{"5550100", "SER1", gk.Address(), "", 0};
    CDialerSettings settings;
    settings.SaveSettings(account, true, 0, 0, 0);
    auto w = std::make_unique<CDialerDlg>();
    w->LoadSettings();
    w->SetAccount(account);
    w->EndPoint().listenerInterfaces = "127.0.0.1:0";
    w->EndPoint().SetRasTimings(timings);
    w->InitialiseEndPoint(0, "", "");
    return w;
  }

  // Runs the event loop until the registration line shows text, noting every text it showed.
  bool LineShows(CDialerDlg& w, const std::string& text, int ms = 5000) {
    return ProcessEventsUntil(
        [&] {
          const std::string now = BalanceLine(w);
          if (lines.empty() || lines.back() != now) lines.push_back(now);
          return now == text && w.EndPoint().registering == 0;
        },
        ms);
  }

  WorkFolder dir;
  std::vector<std::string> boxes, captions, lines;
};

TEST_F(DialerRegistration, SuccessShowsRegisteringThenTheBalance) {
  TestGatekeeper::Script script;
  script.progressDelay = 300ms;  // long enough to see "Registering....."
  TestGatekeeper gk(script);
  auto w = Window(gk);
  w->SetBalanceLine("");
  w->StartRegisterThread();
  ASSERT_TRUE(LineShows(*w, "Balance= N/A"));
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Registering....."), lines.end());
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(w->EndPoint().IsRegisteredWithGatekeeper());
  EXPECT_EQ(w->EndPoint().registering.load(), 0);
  EXPECT_TRUE(ProcessEventsUntil([] { return WaitCursorDepth() == 0; }));
  // One balance refresh per registration: nothing rewrites the line afterwards.
  w->SetBalanceLine("marker");
  ProcessEventsFor(300);
  EXPECT_EQ(BalanceLine(*w), "marker");
}

TEST_F(DialerRegistration, EachFailureShowsNotRegisteredAndItsMessage) {
  using J = h225::RegistrationRejectReason;
  const std::pair<std::uint16_t, const char*> cases[] = {
      {J::invalidCallSignalAddress, "Gatekeeper refused to allow the listening port."},
      {J::duplicateAlias, "Gatekeeper refused to allow the listening port."},
      {J::securityDenial, "Gatekeeper security denial, check your PIN no "},
      {J::undefinedReason, "Gatekeeper reject the request."},
  };
  TestGatekeeper gk;
  auto w = Window(gk);
  for (auto [reason, text] : cases) {
    SCOPED_TRACE(text);
    TestGatekeeper::Script script;
    script.registrationReject = reason;
    gk.SetScript(script);
    boxes.clear();
    w->StartRegisterThread();
    ASSERT_TRUE(LineShows(*w, "Not Registered"));
    ASSERT_TRUE(ProcessEventsUntil([&] { return !boxes.empty(); }));
    ProcessEventsFor(50);
    EXPECT_EQ(boxes, std::vector<std::string>{text});
    w->SetBalanceLine("");
  }
  EXPECT_EQ(captions.back(), "");  // the application's title

  // A registration nobody answers after discovery is a transport failure.
  TestGatekeeper::Script script;
  script.answerRegistration = false;
  gk.SetScript(script);
  boxes.clear();
  w->StartRegisterThread();
  ASSERT_TRUE(ProcessEventsUntil([&] { return !boxes.empty(); }));
  EXPECT_EQ(boxes, std::vector<std::string>{"Gatekeeper transport failure."});
  EXPECT_EQ(BalanceLine(*w), "Not Registered");
}

TEST_F(DialerRegistration, NothingAnsweringShowsNoGatekeeperFound) {
  TestGatekeeper::Script script;
  script.answerDiscovery = false;
  TestGatekeeper gk(script);
  auto w = Window(gk);
  w->OnRegisterRequest();  // the private request: on a worker as well
  ASSERT_TRUE(LineShows(*w, "Not Registered"));
  ASSERT_TRUE(ProcessEventsUntil([&] { return !boxes.empty(); }));
  EXPECT_EQ(boxes, std::vector<std::string>{"No Gatekeeper found ."});
}

TEST_F(DialerRegistration, RegisteringAgainUnregistersFirst) {
  TestGatekeeper gk;
  auto w = Window(gk);
  w->StartRegisterThread();
  ASSERT_TRUE(LineShows(*w, "Balance= N/A"));
  const std::string first = gk.EndpointId();
  // The settings dialog's OK: unregister, set up again, register.
  w->RemoveRegistration();
  w->InitialiseEndPoint(0, "", "");
  w->StartRegisterThread();
  ASSERT_TRUE(gk.WaitUntil([&](auto&) { return gk.RegistrationRequests(false).size() == 2; }, 5s));
  ASSERT_TRUE(ProcessEventsUntil([&] { return w->EndPoint().IsRegisteredWithGatekeeper(); }));
  std::vector<std::uint16_t> kinds;
  for (auto& r : gk.Messages()) kinds.push_back(r.message.Choice());
  using M = h225::RasMessage;
  EXPECT_EQ(kinds, (std::vector<std::uint16_t>{M::gatekeeperRequest, M::registrationRequest, M::unregistrationRequest,
                                               M::gatekeeperRequest, M::registrationRequest}));
  EXPECT_NE(gk.EndpointId(), first);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(DialerRegistration, ClosingTheWindowEndsAWaitingRegistrationQuietly) {
  TestGatekeeper::Script script;
  script.answerDiscovery = false;
  TestGatekeeper gk(script);
  auto slow = FastTimings();
  slow.discoveryTimeout = 60s;
  auto w = Window(gk, slow);
  w->StartRegisterThread();
  ASSERT_TRUE(gk.WaitUntil([](auto& all) { return !all.empty(); }, 5s));
  w.reset();  // joins its workers: the registration must give up at once
  ProcessEventsFor(100);
  EXPECT_TRUE(boxes.empty());
}

}  // namespace
