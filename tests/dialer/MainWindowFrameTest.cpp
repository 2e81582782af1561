#include <QLineEdit>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "dialer/CDialerDlg.h"
#include "dialer/ControlIds.h"
#include "platform/DialogItems.h"
#include "tests/support/QtTestMain.h"
#include "tests/dialer/WindowControls.h"
#include "tests/support/FakeCalls.h"
#include "tests/support/WorkFolder.h"

namespace {

class MainWindowFrame : public ::testing::Test {
 protected:
  WorkFolder dir;
  FakeCalls calls;  // outlives the window, which may still ask it at its end
  CDialerDlg dlg;
};

}  // namespace

// The template's table itself (ids, places, shown or hidden) is not restated here: the controls
// are found by their ids everywhere else, and the dialog units are DialogUnits'. What the table
// cannot say: every control it shows lies on the skin, a click in its middle reaches it (the
// controls overlap: a static lies across four keypad keys), and the dial box is one line high.
TEST_F(MainWindowFrame, EveryShownControlLiesOnTheSkinWhereAClickReachesItAndTheDialBoxIsOneLineHigh) {
  int shown = 0;
  for (QWidget* w : dlg.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (GetDlgCtrlID(w) == 0 || w->isHidden()) continue;
    ++shown;
    EXPECT_LE(w->geometry().right(), 281) << GetDlgCtrlID(w);
    EXPECT_LE(w->geometry().bottom(), 439) << GetDlgCtrlID(w);
    if (w->testAttribute(Qt::WA_TransparentForMouseEvents)) continue;
    QWidget* hit = dlg.childAt(w->geometry().center());
    EXPECT_TRUE(hit == w || w->isAncestorOf(hit)) << GetDlgCtrlID(w) << " lies under " << GetDlgCtrlID(hit);
  }
  EXPECT_EQ(shown, 29);
  // The template's height includes the drop-down list.
  EXPECT_LT(DialBox(dlg)->height(), 60);
}

TEST_F(MainWindowFrame, EnterAndEscapeNeverEndTheWindow) {
  dlg.setResult(42);
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  QTest::keyClick(&dlg, Qt::Key_Escape);
  QTest::keyClick(&dlg, Qt::Key_Return);
  QTest::keyClick(&dlg, Qt::Key_Enter);
  DialBox(dlg)->setFocus();
  QTest::keyClick(DialBox(dlg)->lineEdit(), Qt::Key_Escape);
  ProcessEventsFor(50);
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(dlg.result(), 42);
}

TEST_F(MainWindowFrame, CloseRequestWaitsForTheCallAndTheBalanceRefresh) {
  dlg.UseCalls(&calls);
  bool busyClearedBeforeEnd = false;
  DialBox(dlg)->setEditText("5");
  dlg.PlaceCall();
  ASSERT_TRUE(dlg.IsBusy());
  dlg.OnBalanceRefresh(true);
  QTimer::singleShot(0, &dlg, [&] { dlg.close(); });
  QTimer::singleShot(150, &dlg, [&] {
    EXPECT_TRUE(calls.ClearRequests().empty());  // closing waits for the call, it does not end it
    dlg.OnCallCleared(calls.LastToken(), false);
    QTimer::singleShot(150, &dlg, [&] {
      EXPECT_TRUE(ProcessEventsUntil([&] { return !dlg.IsBusy(); }));
      EXPECT_TRUE(dlg.isVisible());  // still waiting for the balance refresh
      busyClearedBeforeEnd = true;
      dlg.OnBalanceRefresh(false);
    });
  });
  EXPECT_EQ(dlg.exec(), 0);
  EXPECT_TRUE(busyClearedBeforeEnd);
  // The request came back a few times through the event queue, not thousands (no spinning).
  EXPECT_GE(dlg.DeferredCloseCount(), 2);
  EXPECT_LT(dlg.DeferredCloseCount(), 100);
}

TEST_F(MainWindowFrame, CloseControlAsksToCloseAndMinimiseControlMinimises) {
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  ClickInItsWindow(dlg.GetDlgItem(IDC_CLOSE));
  EXPECT_TRUE(ProcessEventsUntil([&] { return !dlg.isVisible(); }, 2000));

  CDialerDlg other;
  other.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
  ClickInItsWindow(other.GetDlgItem(IDC_MINIMISE));
  ProcessEventsFor(20);
  EXPECT_TRUE(other.windowState() & Qt::WindowMinimized);
  EXPECT_TRUE(other.isVisible());
}

TEST_F(MainWindowFrame, ActivationGivesTheDialBoxTheFocus) {
  dlg.show();
  dlg.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
  dlg.GetDlgItem(IDC_SETTINGS)->setFocus();
  ASSERT_FALSE(DialBox(dlg)->hasFocus());
  emit qApp->applicationStateChanged(Qt::ApplicationInactive);
  EXPECT_TRUE(DialBox(dlg)->hasFocus());
  dlg.GetDlgItem(IDC_SETTINGS)->setFocus();
  emit qApp->applicationStateChanged(Qt::ApplicationActive);
  EXPECT_TRUE(DialBox(dlg)->hasFocus());
}

TEST_F(MainWindowFrame, TypedTextIsTheDialString) {
  // Typing goes into the dial string at once: a key clicked next appends to what was typed, and
  // saving the dial box's text keeps it. Enter's own press adds nothing to the drop-down list.
  dlg.UseCalls(&calls);
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  QTest::keyClicks(DialBox(dlg)->lineEdit(), "555");
  dlg.OnClear();
  EXPECT_EQ(DialText(dlg), "55");
  DialBox(dlg)->setEditText("12");
  dlg.UpdateData(true);
  dlg.OnClear();
  EXPECT_EQ(DialText(dlg), "1");
  QTest::keyPress(DialBox(dlg)->lineEdit(), Qt::Key_Return);
  EXPECT_EQ(DialBox(dlg)->count(), 0);
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_TRUE(calls.Parties().empty());
}
