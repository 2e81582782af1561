#include <QTimer>

#include <gtest/gtest.h>

#include "dialer/CDialerDlg.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/TempDir.h"
#include "web/BalanceThread.h"

namespace {

class BalanceLine : public ::testing::Test {
protected:
    BalanceLine() { std::filesystem::create_directory("data1"); }
    TempDir dir{true};
};

} // namespace

TEST_F(BalanceLine, CompleteSettingsShowTheBalanceAndRefreshTheAccountCopies)
{
    CDialerDlg dlg;
    dlg.m_settings.SaveSettings("4321", "SER7", "gk", "1", "pw", 0, 0, 0);
    dlg.m_strPin = "typed-pin";
    dlg.m_strSerial = "typed-serial";
    dlg.m_strGatekeeper = "typed-gk";
    dlg.SetBalanceLine("Registering.....");
    EXPECT_EQ(BalanceThread(&dlg), 0);
    ProcessEventsFor(20);
    EXPECT_EQ(dlg.m_balanceLine->text(), "Balance= N/A");
    EXPECT_EQ(dlg.m_strPin.Get(), "4321");
    EXPECT_EQ(dlg.m_strSerial.Get(), "SER7");
    EXPECT_EQ(dlg.m_strGatekeeper.Get(), "typed-gk"); // not refreshed
    EXPECT_EQ(dlg.m_bBalanceRunning.load(), 0);
}

TEST_F(BalanceLine, EmptyStoredCredentialsEmptyTheCopies)
{
    CDialerDlg dlg;
    dlg.m_settings.SaveSettings("", "", "", "0", "", 0, 0, 0);
    dlg.m_strPin = "typed";
    BalanceThread(&dlg);
    EXPECT_EQ(dlg.m_strPin.Get(), "");
}

TEST_F(BalanceLine, WithoutASettingsFileTheLineKeepsItsText)
{
    CDialerDlg dlg;
    dlg.SetBalanceLine("Not Registered");
    dlg.m_strPin = "typed";
    EXPECT_EQ(BalanceThread(&dlg), 0);
    ProcessEventsFor(20);
    EXPECT_EQ(dlg.m_balanceLine->text(), "Not Registered");
    EXPECT_EQ(dlg.m_strPin.Get(), "typed");
    EXPECT_EQ(dlg.m_bBalanceRunning.load(), 0);
    EXPECT_EQ(BalanceThread(nullptr), 1);
}

TEST_F(BalanceLine, ACloseRequestWaitsForTheRefresh)
{
    CDialerDlg dlg;
    dlg.m_settings.SaveSettings("1", "2", "3", "0", "", 0, 0, 0);
    // Hold the refresh in the middle: it has started but cannot finish yet.
    std::unique_lock hold(dlg.m_balanceMutex);
    dlg.StartBalanceThread();
    dlg.StartBalanceThread(); // a second one queues behind the first
    ASSERT_TRUE(ProcessEventsUntil([&] { return dlg.m_bBalanceRunning.load() == 2; }));
    bool releasedBeforeEnd = false;
    QTimer::singleShot(0, &dlg, [&] { dlg.close(); });
    QTimer::singleShot(200, &dlg, [&] {
        EXPECT_TRUE(dlg.isVisible());
        releasedBeforeEnd = true;
        hold.unlock();
    });
    EXPECT_EQ(dlg.exec(), 0);
    EXPECT_TRUE(releasedBeforeEnd);
    EXPECT_EQ(dlg.m_bBalanceRunning.load(), 0);
}
