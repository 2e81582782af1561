// Registration as the window shows it, against the test gatekeeper on 127.0.0.1.
#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "platform/DialogItems.h"
#include "platform/WaitCursor.h"
#include "stack/asn/generated/H225.h"
#include "tests/dialer/WindowControls.h"
#include "tests/support/MessageBoxes.h"
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
  // A window with a complete account, its endpoint on 127.0.0.1, pointed at the gatekeeper.
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

  // Runs the event loop until the registration line shows text, noting every text it shows.
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
  MessageBoxes boxes;
  std::vector<std::string> lines;
};

TEST_F(DialerRegistration, SuccessShowsRegisteringThenTheBalanceOnce) {
  TestGatekeeper::Script script;
  script.progressDelay = 300ms;  // long enough to see "Registering....."
  TestGatekeeper gk(script);
  auto w = Window(gk);
  w->SetBalanceLine("");
  w->StartRegisterThread();
  ASSERT_TRUE(LineShows(*w, "Balance= N/A"));
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Registering....."), lines.end());
  EXPECT_TRUE(boxes.texts.empty());
  EXPECT_TRUE(w->EndPoint().IsRegisteredWithGatekeeper());
  EXPECT_TRUE(ProcessEventsUntil([] { return WaitCursorDepth() == 0; }));
  // One balance refresh per registration: nothing rewrites the line afterwards.
  w->SetBalanceLine("marker");
  ProcessEventsFor(300);
  EXPECT_EQ(BalanceLine(*w), "marker");
}

TEST_F(DialerRegistration, EachFailureShowsNotRegisteredAndItsMessage) {
  using J = h225::RegistrationRejectReason;
  using Script = TestGatekeeper::Script;
  const auto rejects = [](std::uint16_t reason) { return [=](Script& s) { s.registrationReject = reason; }; };
  const struct {
    std::function<void(Script&)> set;
    const char* text;
    bool privateRequest = false;  // the window's own request, on a worker as well
  } cases[] = {
      {[](Script& s) { s.answerDiscovery = false; }, "No Gatekeeper found .", true},
      {rejects(J::invalidCallSignalAddress), "Gatekeeper refused to allow the listening port."},
      {rejects(J::duplicateAlias), "Gatekeeper refused to allow the listening port."},
      {rejects(J::securityDenial), "Gatekeeper security denial, check your PIN no "},
      {rejects(J::undefinedReason), "Gatekeeper reject the request."},
      // A registration nobody answers after discovery is a transport failure.
      {[](Script& s) { s.answerRegistration = false; }, "Gatekeeper transport failure."},
  };
  TestGatekeeper gk;
  auto w = Window(gk);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Script script;
    c.set(script);
    gk.SetScript(script);
    boxes.Clear();
    w->SetBalanceLine("");
    if (c.privateRequest)
      w->OnRegisterRequest();
    else
      w->StartRegisterThread();
    ASSERT_TRUE(LineShows(*w, "Not Registered"));
    ASSERT_TRUE(ProcessEventsUntil([&] { return !boxes.texts.empty(); }));
    ProcessEventsFor(50);
    EXPECT_EQ(boxes.texts, std::vector<std::string>{c.text});
  }
  EXPECT_EQ(boxes.captions.back(), "");  // the application's title
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
  EXPECT_TRUE(boxes.texts.empty());
}

}  // namespace
