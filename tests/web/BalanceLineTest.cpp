#include <thread>

#include <gtest/gtest.h>

#include "dialer/CDialerDlg.h"
#include "settings/CDialerSettings.h"
#include "skin/CStyledStatic.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/WorkFolder.h"
#include "web/BalanceThread.h"

// A refresh on a worker shows the balance and gives the window the stored PIN and serial (empty
// when the account was not stored); without a settings file it reports nothing.
TEST(BalanceLine, ARefreshShowsTheBalanceAndGivesTheWindowTheStoredPinAndSerial) {
  WorkFolder dir;
  CDialerSettings settings;
  CDialerDlg dlg;
  dlg.SetAccount({"typed-pin", "typed-serial", "typed-gk", "pw", 1});
  const auto refresh = [&](const char* line) {
    dlg.SetBalanceLine(line);
    std::thread([&] { EXPECT_EQ(BalanceThread(&dlg, settings), 0); }).join();
    const auto* balance = static_cast<CStyledStatic*>(dlg.GetDlgItem(1018));
    return ProcessEventsUntil([&] { return balance->text() == "Balance= N/A"; }, 1000);
  };
  EXPECT_FALSE(refresh("Registering....."));
  EXPECT_EQ(BalanceThread(nullptr, settings), 1);
  settings.SaveSettings("4321", "SER7", "gk", "1", "pw", 0, 0, 0);
  EXPECT_TRUE(refresh("Registering....."));
  EXPECT_EQ(dlg.Account(), (CAccount{"4321", "SER7", "typed-gk", "pw", 1}));  // gatekeeper kept
  settings.SaveSettings("", "", "", "0", "", 0, 0, 0);
  EXPECT_TRUE(refresh(""));
  EXPECT_EQ(dlg.Account(), (CAccount{"", "", "typed-gk", "pw", 1}));
}
