// The window's side of a call against call operations without a network: the test plays the stack,
// sending the endpoint's events from a thread of its own, and advances the call's clock. What a real
// call drives the same way is RealCallWindowTest's.
#include <atomic>
#include <thread>

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "runtime/PSoundPlayer.h"
#include "settings/CDialerSettings.h"
#include "tests/dialer/WindowControls.h"
#include "tests/support/FakeCalls.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/SoundTestSupport.h"
#include "tests/support/WorkFolder.h"

namespace {

class CallWindow : public ::testing::Test {
 protected:
  CallWindow() {
    CDialerSettings seed;  // complete: every balance refresh writes its line
    seed.SaveSettings("4321", "SER", "127.0.0.1:9", "0", "", 0, 0, 0);
    dlg.UseCalls(&calls);
    dlg.SetTickSource([this] { return now.load(); });
    dlg.show();
    dlg.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&dlg));
  }
  // The dial box's click plays on the program's sound player, which the next test points elsewhere.
  ~CallWindow() override { PSoundPlayer::Instance().WaitIdle(std::chrono::seconds(10)); }

  // Runs fn on a thread of its own, as the stack's callbacks run, without running the event loop:
  // an event that waited for the user-interface thread would hang here.
  static void Stack(const std::function<void()>& fn) { std::thread(fn).join(); }

  std::string Place(const std::string& number) {
    DialAndCall(dlg, number);
    return calls.LastToken();
  }
  void Establish(const std::string& token) {
    Stack([&] { dlg.OnCallEstablished(token, false, ""); });
    ASSERT_TRUE(ProcessEventsUntil([&] { return dlg.IsCallTimerRunning(); }));
  }
  void Clear(const std::string& token, bool established) {
    calls.End(token);
    Stack([&] { dlg.OnCallCleared(token, established); });
    ASSERT_TRUE(ProcessEventsUntil([&] { return !dlg.IsBusy(); }));
  }
  std::string CallLog() const { return ReadFileBytes(dir / "data1/Call.log"); }

  NoServer noServer;  // key and dial tones play nowhere, at once
  WorkFolder dir;
  std::atomic<uint32_t> now{1000};
  FakeCalls calls;
  CDialerDlg dlg;
};

}  // namespace

TEST_F(CallWindow, ACallIsAskedForOnceAndOneThatCannotStartEndsAtOnce) {
  const std::string token = Place("5550100");
  EXPECT_EQ(calls.Parties(), std::vector<std::string>{"5550100@"});
  ASSERT_EQ(DialBox(dlg)->count(), 1);
  EXPECT_EQ(DialBox(dlg)->itemText(0), "5550100");
  EXPECT_EQ(DialText(dlg), "5550100");
  EXPECT_TRUE(DialBox(dlg)->hasFocus());
  // Neither the disabled Call button nor Enter in the dial box asks again.
  ClickInItsWindow(dlg.GetDlgItem(IDC_CALL));
  QTest::keyClick(DialBox(dlg), Qt::Key_Return);
  ProcessEventsFor(50);
  EXPECT_EQ(DialText(dlg), "5550100");  // Enter presses no button of the window either
  EXPECT_EQ(calls.Parties().size(), 1u);
  Clear(token, false);

  // Enter places the next call; this one gets no token and ends idle, unlogged, balance refreshed.
  calls.SetPlaceable(false);
  dlg.SetBalanceLine("");
  QTest::keyClick(DialBox(dlg), Qt::Key_Return);
  EXPECT_EQ(calls.Parties(), (std::vector<std::string>{"5550100@", "5550100@"}));
  EXPECT_EQ(StatusLine(dlg), "Total Duration : 0.0");
  ExpectCallState(dlg, CallState::Idle);
  EXPECT_EQ(CallLog(), "");
  EXPECT_TRUE(ProcessEventsUntil([&] { return BalanceLine(dlg) == "Balance= N/A"; }));
}

// The exact levels and the timer's end, which a real call cannot drive.
TEST_F(CallWindow, TheBarsKeepToTheirRangeAndNothingMovesAfterTheCall) {
  const std::string token = Place("5550100");
  Establish(token);
  calls.SetLevels({20000u, 0u});
  ASSERT_TRUE(ProcessEventsUntil([&] { return Level(dlg, IDC_RX_LEVEL) == 9000; }));
  EXPECT_EQ(Level(dlg, IDC_TX_LEVEL), 1);
  calls.SetLevels({3000u, 1500u});
  ASSERT_TRUE(ProcessEventsUntil([&] { return Level(dlg, IDC_RX_LEVEL) == 3000 && Level(dlg, IDC_TX_LEVEL) == 1500; }));

  now += 125000;
  ASSERT_TRUE(ProcessEventsUntil([&] { return StatusLine(dlg) == "Call Duration : 2.5"; }));
  Clear(token, true);
  EXPECT_EQ(StatusLine(dlg), "Total Duration : 2.5");
  EXPECT_EQ(Level(dlg, IDC_RX_LEVEL), 1);
  ProcessEventsFor(300);
  EXPECT_EQ(StatusLine(dlg), "Total Duration : 2.5");
  // Without a call the mute boxes do nothing.
  auto* speaker = Control<QPushButton>(dlg, IDC_SPEAKER_MUTE);
  dlg.SkinControls();
  const QImage icon = IconImage(speaker->icon());
  EXPECT_EQ(icon, IconImage(139));
  speaker->click();
  EXPECT_EQ(IconImage(speaker->icon()), icon);
}

TEST_F(CallWindow, AnotherCallsEventsLeaveTheCallInProgressAlone) {
  const std::string token = Place("5");
  Stack([&] {
    dlg.OnCallAlerting("other");
    dlg.OnCallEstablished("other", true, "666");
    dlg.OnCallCleared("other", false);
  });
  ProcessEventsFor(100);
  // The one that got as far as established is ended: nothing of the window reaches it.
  EXPECT_EQ(calls.ClearRequests(), std::vector<std::string>{"other"});
  EXPECT_EQ(StatusLine(dlg), "Connecting.....");
  ExpectCallState(dlg, CallState::Calling);
  EXPECT_EQ(CallLog(), "");

  Establish(token);
  Clear(token, true);
  // The same call cleared twice changes nothing the second time.
  dlg.SetStatusLine("marker");
  Stack([&] { dlg.OnCallCleared(token, true); });
  ProcessEventsFor(50);
  EXPECT_EQ(StatusLine(dlg), "marker");
}
