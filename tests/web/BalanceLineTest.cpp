#include <thread>

#include <gtest/gtest.h>

#include "dialer/CDialerDlg.h"
#include "settings/CDialerSettings.h"
#include "skin/CStyledStatic.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/RecordingEvents.h"
#include "tests/support/WorkFolder.h"
#include "web/BalanceThread.h"

namespace {

class BalanceLine : public ::testing::Test {
 protected:
  WorkFolder dir;
};

std::string LineText(const CDialerDlg& dlg) {
  return static_cast<CStyledStatic*>(dlg.GetDlgItem(1018))->text().toStdString();
}

}  // namespace

// The refresh reports the balance with the stored PIN and serial (the window's copies), or nothing
// without a settings file.
TEST_F(BalanceLine, ARefreshReportsTheBalanceWithTheStoredAccount) {
  CDialerSettings settings;
  RecordingEvents none;
  EXPECT_EQ(BalanceThread(&none, settings), 0);
  EXPECT_EQ(none.Events(), (std::vector<std::string>{"balance start", "balance end"}));
  EXPECT_EQ(BalanceThread(nullptr, settings), 1);
  for (auto [pin, serial, report] :
       {std::tuple{"4321", "SER7", "balance Balance= N/A|4321|SER7"}, std::tuple{"", "", "balance Balance= N/A||"}}) {
    settings.SaveSettings(pin, serial, "gk", "1", "pw", 0, 0, 0);
    RecordingEvents window;
    EXPECT_EQ(BalanceThread(&window, settings), 0);
    EXPECT_EQ(window.Events(), (std::vector<std::string>{"balance start", report, "balance end"}));
  }
}

TEST_F(BalanceLine, TheWindowShowsTheBalanceAndTakesTheStoredPinAndSerial) {
  CDialerDlg dlg;
  dlg.SetAccount({"typed-pin", "typed-serial", "typed-gk", "pw", 1});
  dlg.SetBalanceLine("Registering.....");
  std::thread([&] { dlg.OnBalance("Balance= N/A", "4321", "SER7"); }).join();
  EXPECT_TRUE(ProcessEventsUntil([&] { return LineText(dlg) == "Balance= N/A"; }));
  EXPECT_EQ(dlg.Account(), (CAccount{"4321", "SER7", "typed-gk", "pw", 1}));  // gatekeeper kept
}
