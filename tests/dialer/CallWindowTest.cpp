// The window's side of a call against call operations without a network: the test plays the stack,
// sending the endpoint's events from threads of their own. RealCallWindowTest drives real calls.
#include <thread>

#include <QTest>

#include <gtest/gtest.h>

#include "runtime/PSoundPlayer.h"
#include "settings/CDialerSettings.h"
#include "tests/dialer/WindowControls.h"
#include "tests/support/FakeCalls.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/SoundTestSupport.h"
#include "tests/support/WorkFolder.h"

// Each event comes from a thread of its own, joined without running the event loop: an event that
// waited for the user-interface thread would hang here.
TEST(CallWindow, AnotherCallsEventsLeaveTheCallInProgressAloneAndTheBarsKeepToTheirRange) {
  NoServer noServer;  // key and dial tones play nowhere, at once
  WorkFolder dir;
  FakeCalls calls;
  CDialerDlg dlg;
  dlg.UseCalls(&calls);
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  DialAndCall(dlg, "5");
  const std::string token = calls.LastToken();
  const auto stack = [](const std::function<void()>& fn) { std::thread(fn).join(); };
  stack([&] {
    dlg.OnCallAlerting("other");
    dlg.OnCallEstablished("other", true, "666");
    dlg.OnCallCleared("other", false);
  });
  ProcessEventsFor(100);
  // The one that got as far as established is ended: nothing of the window reaches it.
  EXPECT_EQ(calls.ClearRequests(), std::vector<std::string>{"other"});
  EXPECT_EQ(StatusLine(dlg), "Connecting.....");
  ExpectCallState(dlg, CallState::Calling);
  EXPECT_EQ(ReadFileBytes(dir / "data1/Call.log"), "");

  stack([&] { dlg.OnCallEstablished(token, false, ""); });
  ASSERT_TRUE(ProcessEventsUntil([&] { return dlg.IsCallTimerRunning(); }));
  calls.SetLevels({20000u, 0u});  // beyond the bars' range, and below it
  ASSERT_TRUE(ProcessEventsUntil([&] { return Level(dlg, IDC_RX_LEVEL) == 9000; }));
  EXPECT_EQ(Level(dlg, IDC_TX_LEVEL), 1);
  calls.End(token);
  stack([&] { dlg.OnCallCleared(token, true); });
  ASSERT_TRUE(ProcessEventsUntil([&] { return !dlg.IsBusy(); }));
  // The same call cleared twice changes nothing the second time.
  dlg.SetStatusLine("marker");
  stack([&] { dlg.OnCallCleared(token, true); });
  ProcessEventsFor(50);
  EXPECT_EQ(StatusLine(dlg), "marker");
  PSoundPlayer::Instance().WaitIdle(std::chrono::seconds(10));  // the dial box's click
}
