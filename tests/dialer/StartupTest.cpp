// Start-up: the sign-in, what it stores, and the banner the product site replaces.
#include <QCheckBox>
#include <QLineEdit>

#include <gtest/gtest.h>

#include "platform/DialogItems.h"
#include "platform/System.h"
#include "tests/dialer/WindowControls.h"
#include "tests/skin/GifTestData.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/MessageBoxes.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/WorkFolder.h"

namespace fs = std::filesystem;

namespace {

class Startup : public ::testing::Test {
 protected:
  Startup() {
    SetEndProcessHook([this](int code) { exitCodes.push_back(code); });
  }
  ~Startup() override { SetEndProcessHook(nullptr); }
  std::string Settings() const { return ReadFileBytes(dir / "data1/Dialer.property"); }

  WorkFolder dir;
  MessageBoxes boxes;
  std::vector<int> exitCodes;
};

// Fills the sign-in dialog and presses OK.
void SignIn(const char* gatekeeper, const char* serial, const char* pin, bool remember = true, bool useGkPass = false,
            const char* gkPass = "") {
  WhenModal(nullptr, [=](QWidget* dlg) {
    for (int id : {1020, 1018, 1019, 1021}) static_cast<QLineEdit*>(GetDlgItem(dlg, id))->clear();
    TypeIntoDlgItem(dlg, 1020, gatekeeper);
    TypeIntoDlgItem(dlg, 1018, serial);
    TypeIntoDlgItem(dlg, 1019, pin);
    TypeIntoDlgItem(dlg, 1021, gkPass);
    static_cast<QCheckBox*>(GetDlgItem(dlg, 1051))->setChecked(remember);
    static_cast<QCheckBox*>(GetDlgItem(dlg, 1052))->setChecked(useGkPass);
    ClickDlgItem(dlg, 1);
  });
}

}  // namespace

TEST_F(Startup, TheSignedInAccountIsStoredAndTheWindowShowsTheCallLog) {
  WriteFileBytes(dir / "data1/Call.log", "555\r\n444\r\n");
  CDialerDlg dlg;
  SignIn("127.0.0.1:1719", "SER1", "1234", true, true, "pw");
  EXPECT_TRUE(dlg.OnInitDialog());
  EXPECT_TRUE(exitCodes.empty());
  EXPECT_EQ(Settings(),
            "Serial=SER1\r\nPin=1234\r\nGatekeeper=127.0.0.1:1719\r\n"
            "IsGkPassEnabled=1\r\nGkPass=pw\r\nCodec Index=0\r\n"
            "Play Device Index=0\r\nRecord Device Index=0");
  EXPECT_EQ(dlg.Account(), (CAccount{"1234", "SER1", "127.0.0.1:1719", "pw", 1}));
  ASSERT_EQ(DialBox(dlg)->count(), 2);
  EXPECT_EQ(DialBox(dlg)->itemText(0), "555");
  EXPECT_EQ(DialBox(dlg)->itemText(1), "444");
  ExpectCallState(dlg, CallState::Idle);
}

// Cancel is DialerProcess.ACancelledSignIn*'s, with a real process.
TEST_F(Startup, TheSignInShowsTheStoredAccount) {
  CDialerSettings seed;
  seed.SaveSettings("77", "S77", "gk77", "1", "pw77", 0, 0, 0);
  CDialerDlg dlg;
  WhenModal(nullptr, [](QWidget* d) {
    for (const auto& [id, text] : {std::pair{1020, "gk77"}, {1018, "S77"}, {1019, "77"}, {1021, "pw77"}})
      EXPECT_EQ(static_cast<QLineEdit*>(GetDlgItem(d, id))->text(), text) << id;
    EXPECT_TRUE(static_cast<QCheckBox*>(GetDlgItem(d, 1051))->isChecked());
    EXPECT_TRUE(static_cast<QCheckBox*>(GetDlgItem(d, 1052))->isChecked());
    ClickDlgItem(d, 2);
  });
  EXPECT_FALSE(dlg.OnInitDialog());
}

TEST_F(Startup, AnIncompleteAccountEndsTheProgramAfterSayingSo) {
  for (const auto& [gatekeeper, serial, message] :
       {std::tuple{"gk", "", "You Must Enter Serial and PIN both.Try again."},
        std::tuple{"", "S", "You Must Enter Gatekeeper Address.Try again."}}) {
    boxes.Clear();
    exitCodes.clear();
    CDialerDlg dlg;
    SignIn(gatekeeper, serial, "1234");
    dlg.OnInitDialog();
    EXPECT_EQ(boxes.texts, std::vector<std::string>{message});
    ASSERT_FALSE(exitCodes.empty());
    EXPECT_EQ(exitCodes.front(), 0);
  }
  EXPECT_FALSE(fs::exists(dir / "data1/Dialer.property"));
}

TEST_F(Startup, TheBannerIsReplacedByTheDownloadedOne) {
  using namespace giftest;
  const auto bytes = MakeGif(2, 1, {{0, 0, 2, 1, Red}, {0, 0, 2, 1, Blue}});
  const std::string twoFrames(bytes.begin(), bytes.end());
  LocalHttpServer server;
  server.Serve("/banner/banner.gif", 200, twoFrames);
  WriteFileBytes(dir / "data1/banner.gif", ReadFileBytes(fs::path(VANTRO_SOURCE_RES) / "data1/banner.gif"));
  setenv("VANTRO_PRODUCT_SITE", server.Url("").substr(7).c_str(), 1);

  CDialerDlg dlg;
  auto* banner = Control<CPictureEx>(dlg, IDC_BANNER);
  dlg.ShowBanner();
  EXPECT_TRUE(banner->IsAnimatedGif());  // the shipped one, until the download is in
  EXPECT_NE(banner->GetPictureSize(), QSize(2, 1));
  EXPECT_TRUE(ProcessEventsUntil([&] { return banner->GetPictureSize() == QSize(2, 1); }, 10000));
  EXPECT_EQ(ReadFileBytes(dir / "data1/link1.gif"), twoFrames);
  setenv("VANTRO_PRODUCT_SITE", "127.0.0.1:9", 1);
}
