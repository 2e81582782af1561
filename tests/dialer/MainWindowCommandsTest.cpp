#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "platform/DialogItems.h"
#include "tests/dialer/WindowControls.h"
#include "tests/support/FakeCalls.h"
#include "tests/support/FakePrograms.h"
#include "tests/support/MessageBoxes.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/WorkFolder.h"

namespace {

class MainWindowCommands : public ::testing::Test {
 protected:
  WorkFolder dir;
  MessageBoxes boxes;
};

}  // namespace

TEST_F(MainWindowCommands, WebLinksOpenTheirPagesOrSayWithTheirCaptionThatNoBrowserIsThere) {
  FakePrograms fake(true);
  fake.AddRecorder("xdg-open");
  // The hosts come from the environment when it names them (nothing is contacted here).
  setenv("VANTRO_PRODUCT_SITE", "www.product.example", 1);
  setenv("VANTRO_BILLING_HOST", "billing.example", 1);
  CDialerDlg dlg;
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

  FakePrograms none(true);
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  ClickInItsWindow(dlg.GetDlgItem(IDC_PRODUCT_LINK));
  ASSERT_TRUE(ProcessEventsUntil([&] { return boxes.texts.size() == 1; }));
  dlg.OnWebPage(IDC_LOG);
  ASSERT_TRUE(ProcessEventsUntil([&] { return boxes.texts.size() == 2; }));
  EXPECT_EQ(boxes.texts, std::vector<std::string>(2, "You Need Internet Explorer to view your balance"));
  EXPECT_EQ(boxes.owners, std::vector<QWidget*>(2, &dlg));
  EXPECT_EQ(boxes.captions, (std::vector<std::string>{"Vantro Dialer", "Qorv Talk"}));
}

TEST_F(MainWindowCommands, TheWindowMenuCarriesTheAboutItem) {
  CDialerDlg dlg;
  dlg.AppendAboutToSystemMenu();
  QList<QAction*> actions = dlg.SystemMenu()->actions();
  ASSERT_GE(actions.size(), 2);
  EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
  EXPECT_EQ(actions.back()->text(), "&About Tolvane Dialer...");

  bool sawAbout = false;
  WhenModal(nullptr, [&sawAbout](QWidget* about) {
    EXPECT_EQ(about->windowTitle(), "About VantroDialer");
    QStringList texts;
    for (QLabel* l : about->findChildren<QLabel*>()) texts << l->text();
    EXPECT_TRUE(texts.contains("VantroDialer Version 1.0"));
    sawAbout = true;
    static_cast<QDialog*>(about)->accept();
  });
  actions.back()->trigger();
  EXPECT_TRUE(sawAbout);
}

TEST_F(MainWindowCommands, BookButtonDialsTheChosenNumber) {
  WriteFileBytes(dir / "data1/Address.log", "Anna:0049301234:\r\n");
  FakeCalls calls;
  CDialerDlg window;
  window.UseCalls(&calls);
  WhenModal(nullptr, [](QWidget* book) {
    static_cast<QTreeWidget*>(GetDlgItem(book, 1035))->topLevelItem(0)->setSelected(true);
    ClickDlgItem(book, 1037);
  });
  window.OnBook();
  EXPECT_EQ(DialText(window), "0049301234");
  EXPECT_EQ(calls.Parties(), std::vector<std::string>{"0049301234@"});
  EXPECT_EQ(StatusLine(window), "Connecting.....");
}
