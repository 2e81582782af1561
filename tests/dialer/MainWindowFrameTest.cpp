#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "platform/DialogItems.h"
#include "tests/dialer/WindowControls.h"
#include "tests/support/FakeCalls.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/WorkFolder.h"

namespace {

class MainWindowFrame : public ::testing::Test {
 protected:
  void Show() {
    dlg.show();
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
  }

  WorkFolder dir;
  FakeCalls calls;  // outlives the window, which may still ask it at its end
  CDialerDlg dlg;
};

}  // namespace

// Every shown control lies on the skin and takes a click in its middle (the controls overlap: a
// static lies across four keypad keys); the dial box is one line high.
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
  EXPECT_LT(DialBox(dlg)->height(), 60);  // the template's height includes the drop-down list
}

TEST_F(MainWindowFrame, EnterAndEscapeNeverEndTheWindowAndMinimiseMinimises) {
  Show();
  dlg.setResult(42);
  for (auto key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) QTest::keyClick(&dlg, key);
  DialBox(dlg)->setFocus();
  QTest::keyClick(DialBox(dlg)->lineEdit(), Qt::Key_Escape);
  ProcessEventsFor(50);
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(dlg.result(), 42);

  ClickInItsWindow(dlg.GetDlgItem(IDC_MINIMISE));
  ProcessEventsFor(20);
  EXPECT_TRUE(dlg.windowState() & Qt::WindowMinimized);
  EXPECT_TRUE(dlg.isVisible());
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

TEST_F(MainWindowFrame, ActivationEitherWayGivesTheDialBoxTheFocus) {
  Show();
  for (auto state : {Qt::ApplicationInactive, Qt::ApplicationActive}) {
    dlg.GetDlgItem(IDC_SETTINGS)->setFocus();
    ASSERT_FALSE(DialBox(dlg)->hasFocus());
    emit qApp->applicationStateChanged(state);
    EXPECT_TRUE(DialBox(dlg)->hasFocus()) << state;
  }
}
