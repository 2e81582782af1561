// The main window without a network or a sound server (key tones would wait to be heard): its frame
// and skin, keypad, commands, and its side of a call whose operations the test plays
// (RealCallWindowTest drives real calls).
#include <thread>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "platform/DialogItems.h"
#include "runtime/PSoundPlayer.h"
#include "tests/dialer/WindowControls.h"
#include "tests/support/FakeCalls.h"
#include "tests/support/FakePrograms.h"
#include "tests/support/MessageBoxes.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/SoundTestSupport.h"
#include "tests/support/WorkFolder.h"

namespace {

class MainWindow : public ::testing::Test {
 protected:
  // The dial box's click plays on the program's sound player, which the next test may point elsewhere.
  ~MainWindow() override { PSoundPlayer::Instance().WaitIdle(std::chrono::seconds(10)); }

  void Show() {
    dlg.show();
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
  }

  NoServer noServer;
  WorkFolder dir;
  MessageBoxes boxes;
  FakeCalls calls;  // outlives the window, which may still ask it at its end
  CDialerDlg dlg;
};

}  // namespace

// Every shown control lies on the skin and takes a click in its middle (the controls overlap: a
// static lies across four keypad keys); the dial box is one line high.
TEST_F(MainWindow, EveryShownControlLiesOnTheSkinWhereAClickReachesItAndTheDialBoxIsOneLineHigh) {
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

TEST_F(MainWindow, TakesTheShapeOfItsSkinWithEveryControlInIt) {
  dlg.ShapeWindow();
  dlg.SkinControls();
  ASSERT_NE(dlg.Bitmap(), nullptr);
  const QRegion shape = dlg.mask();
  EXPECT_FALSE(shape.contains(QPoint(0, 0)));  // a rounded corner is a hole
  EXPECT_FALSE(shape.contains(QPoint(281, 439)));
  EXPECT_TRUE(shape.contains(QPoint(141, 220)));
  EXPECT_FALSE(shape.contains(QPoint(290, 220)));
  for (int id : {1000, 1018, 1003, 1013, 1014, 1026, 1022, 1023, 1024, 1029, 1030, 1065})
    EXPECT_TRUE(shape.contains(dlg.GetDlgItem(id)->geometry())) << id;
}

// The largest volume puts the thumb's centre 4 pixels from the top.
TEST_F(MainWindow, LouderIsUp) {
  dlg.SkinControls();
  auto* speaker = Control<CTipSlider>(dlg, IDC_SPEAKER_VOLUME);
  speaker->setRange(0, 65535);
  speaker->SetPos(65535);
  EXPECT_EQ(speaker->GetThumbRect().top() + speaker->GetThumbRect().height() / 2, 4);
}

// Every key is clicked through the window, where a static lies across keys 5, 6, 8 and 9.
TEST_F(MainWindow, TypedDigitsAndEveryKeyMakeOneNumberAndClearDropsItsLastCharacter) {
  Show();
  DialBox(dlg)->setFocus();
  QTest::keyClicks(DialBox(dlg)->lineEdit(), "1");
  for (int id : {IDC_KEY1, IDC_KEY2, IDC_KEY3, IDC_KEY4, IDC_KEY5, IDC_KEY6, IDC_KEY7, IDC_KEY8, IDC_KEY9, IDC_KEY0,
                 IDC_KEYSTAR, IDC_KEYHASH})
    ClickInItsWindow(dlg.GetDlgItem(id));
  EXPECT_EQ(DialText(dlg), "11234567890*#");
  EXPECT_TRUE(DialBox(dlg)->hasFocus());
  EXPECT_EQ(DialBox(dlg)->lineEdit()->cursorPosition(), 13);
  EXPECT_FALSE(DialBox(dlg)->lineEdit()->hasSelectedText());

  dlg.GetDlgItem(IDC_SETTINGS)->setFocus();
  dlg.OnClear();
  EXPECT_EQ(DialText(dlg), "11234567890*");
  EXPECT_TRUE(DialBox(dlg)->hasFocus());
  // A text saved from the dial box is the dial string too.
  DialBox(dlg)->setEditText("12");
  dlg.UpdateData(true);
  dlg.OnClear();
  EXPECT_EQ(DialText(dlg), "1");
}

TEST_F(MainWindow, EnterAndEscapeNeverEndTheWindowAndMinimiseMinimises) {
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

TEST_F(MainWindow, CloseRequestWaitsForTheCallAndTheBalanceRefresh) {
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

// Each event comes from a thread of its own, joined without running the event loop: an event that
// waited for the user-interface thread would hang here.
TEST_F(MainWindow, AnotherCallsEventsLeaveTheCallInProgressAloneAndTheBarsKeepToTheirRange) {
  dlg.UseCalls(&calls);
  Show();
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
}

// Without a browser the link says so in a box: HyperLink.AClickOpens*.
TEST_F(MainWindow, WebLinksOpenTheirPages) {
  FakePrograms fake(true);
  fake.AddRecorder("xdg-open");
  // The hosts come from the environment when it names them (nothing is contacted here).
  setenv("VANTRO_PRODUCT_SITE", "www.product.example", 1);
  setenv("VANTRO_BILLING_HOST", "billing.example", 1);
  for (const auto& [id, address] : {std::pair{IDC_LOG, "http://billing.example:8080/voipbilling/customer/index.html\n"},
                                    {IDC_PRODUCT_LINK, "http://www.product.example/\n"},
                                    {IDC_MANUAL, "http://www.product.example/vantrodialer.html\n"},
                                    {IDC_BANNER, "http://www.product.example/\n"}}) {
    std::filesystem::remove(fake.Dir() / "xdg-open.args");
    dlg.OnWebPage(id);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !fake.ArgsOf("xdg-open").empty(); })) << id;
    EXPECT_EQ(fake.ArgsOf("xdg-open"), address);
  }
  ProcessEventsFor(50);
  EXPECT_TRUE(boxes.texts.empty());
  setenv("VANTRO_PRODUCT_SITE", "127.0.0.1:9", 1);
  setenv("VANTRO_BILLING_HOST", "127.0.0.1", 1);
}

TEST_F(MainWindow, BookButtonDialsTheChosenNumber) {
  WriteFileBytes(dir / "data1/Address.log", "Anna:0049301234:\r\n");
  dlg.UseCalls(&calls);
  WhenModal(nullptr, [](QWidget* book) {
    static_cast<QTreeWidget*>(GetDlgItem(book, 1035))->topLevelItem(0)->setSelected(true);
    ClickDlgItem(book, 1037);
  });
  dlg.OnBook();
  EXPECT_EQ(DialText(dlg), "0049301234");
  EXPECT_EQ(calls.Parties(), std::vector<std::string>{"0049301234@"});
  EXPECT_EQ(StatusLine(dlg), "Connecting.....");
}
