#include <QLineEdit>
#include <QProgressBar>
#include <QSignalSpy>
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
};

}  // namespace

TEST_F(MainWindowFrame, EveryControlOfTheTemplateIsThereWithItsIdAndVisibility) {
  CDialerDlg dlg;
  const int visible[] = {1001, 1003, 1002, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1012, 1011, 1013, 1014, 1015,
                         1017, 1026, 1000, 1018, 1019, 1022, 1023, 1029, 1030, 1044, 1045, 1024, 1064, 1065};
  const int hidden[] = {1031, 1032, 1046, 1042, 1016, 1033};
  for (int id : visible) {
    QWidget* w = dlg.GetDlgItem(id);
    ASSERT_NE(w, nullptr) << id;
    EXPECT_EQ(GetDlgCtrlID(w), id);
    EXPECT_FALSE(w->isHidden()) << id;
  }
  for (int id : hidden) {
    ASSERT_NE(dlg.GetDlgItem(id), nullptr) << id;
    EXPECT_TRUE(dlg.GetDlgItem(id)->isHidden()) << id;
  }
  EXPECT_EQ(dlg.GetDlgItem(1020), nullptr);
  EXPECT_EQ(dlg.GetDlgItem(1021), nullptr);

  // Call enabled, hang-up disabled at the start.
  EXPECT_TRUE(Enabled(dlg, IDC_CALL));
  EXPECT_FALSE(Enabled(dlg, IDC_HANGUP));
}

TEST_F(MainWindowFrame, ControlsSitAtTheirTemplatePlacesInPixels) {
  CDialerDlg dlg;
  // Dialog units of the template font: 6 pixels per 4 units across, 13 per 8 down.
  EXPECT_EQ(dlg.size(), QSize(305, 444));
  EXPECT_EQ(dlg.GetDlgItem(IDC_KEY1)->geometry(), QRect(33, 273, 53, 33));
  EXPECT_EQ(dlg.GetDlgItem(IDC_KEYHASH)->geometry(), QRect(138, 371, 53, 32));
  EXPECT_EQ(dlg.GetDlgItem(IDC_CLOSE)->geometry(), QRect(254, 13, 16, 18));
  EXPECT_EQ(dlg.GetDlgItem(IDC_BANNER)->geometry(), QRect(62, 94, 166, 83));
  EXPECT_EQ(dlg.GetDlgItem(IDC_SPEAKER_VOLUME)->geometry(), QRect(29, 101, 9, 70));
  // Every visible control lies on the 282 x 440 skin.
  for (QWidget* w : dlg.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (GetDlgCtrlID(w) == 0 || w->isHidden()) continue;
    EXPECT_LE(w->geometry().right(), 281) << GetDlgCtrlID(w);
    EXPECT_LE(w->geometry().bottom(), 439) << GetDlgCtrlID(w);
  }
  // The dial box is one line high, not the height of its drop-down list.
  EXPECT_LT(DialBox(dlg)->height(), 60);
}

TEST_F(MainWindowFrame, EnterAndEscapeNeverEndTheWindow) {
  CDialerDlg dlg;
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

TEST_F(MainWindowFrame, CloseRequestWhenIdleEndsWithResultZero) {
  CDialerDlg dlg;
  QTimer::singleShot(0, &dlg, [&] { dlg.close(); });
  EXPECT_EQ(dlg.exec(), 0);
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(dlg.DeferredCloseCount(), 0);
}

TEST_F(MainWindowFrame, CloseRequestWaitsForTheCallAndTheBalanceRefresh) {
  FakeCalls calls;
  CDialerDlg dlg;
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
  CDialerDlg dlg;
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  QTest::mouseClick(dlg.GetDlgItem(IDC_CLOSE), Qt::LeftButton);
  EXPECT_TRUE(ProcessEventsUntil([&] { return !dlg.isVisible(); }, 2000));

  CDialerDlg other;
  other.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
  QTest::mouseClick(other.GetDlgItem(IDC_MINIMISE), Qt::LeftButton);
  ProcessEventsFor(20);
  EXPECT_TRUE(other.windowState() & Qt::WindowMinimized);
  EXPECT_TRUE(other.isVisible());
}

TEST_F(MainWindowFrame, ActivationGivesTheDialBoxTheFocus) {
  CDialerDlg dlg;
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
  FakeCalls calls;
  CDialerDlg dlg;
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

TEST_F(MainWindowFrame, KeypadClicksAreReportedByControlId) {
  CDialerDlg dlg;
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  QSignalSpy spy(&dlg, &CDialerDlg::keyClicked);
  QTest::mouseClick(dlg.GetDlgItem(IDC_KEY0), Qt::LeftButton);
  QTest::mouseClick(dlg.GetDlgItem(IDC_KEYHASH), Qt::LeftButton);
  ASSERT_EQ(spy.count(), 2);
  EXPECT_EQ(spy.at(0).at(0).toInt(), IDC_KEY0);
  EXPECT_EQ(spy.at(1).at(0).toInt(), IDC_KEYHASH);
}
