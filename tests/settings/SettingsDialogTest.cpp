#include <QComboBox>
#include <QLineEdit>

#include <gtest/gtest.h>

#include "dialer/CDialerDlg.h"
#include "platform/DialogItems.h"
#include "platform/SoundDevices.h"
#include "settings/CSettingsDlg.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/SoundTestSupport.h"
#include "tests/support/WorkFolder.h"

namespace {

class SettingsDialog : public ::testing::Test {
 protected:
  std::string Settings() const { return ReadFileBytes(dir / "data1/Dialer.property"); }

  WorkFolder dir;
};

QComboBox* List(QWidget* dlg, int id) { return static_cast<QComboBox*>(GetDlgItem(dlg, id)); }
QLineEdit* Edit(QWidget* dlg, int id) { return static_cast<QLineEdit*>(GetDlgItem(dlg, id)); }

}  // namespace

TEST_F(SettingsDialog, OkStoresTheAccountAndChoicesAndReloadsTheRecord) {
  REQUIRE_TEST_SERVER();
  CDialerSettings record;
  record.SaveSettings("1", "S", "old.gk", "1", "pw", 0, 0, 0);
  record.LoadSettings();
  CSettingsDlg dlg;
  dlg.SetAccount({"1", "S", "old.gk", "pw", 1});
  dlg.SetSettings(&record);
  dlg.SetRememberAccount(true);
  WhenModal(nullptr, [](QWidget* dlg) {
    // The lists hold the sound server's devices in its order, the stored ones chosen.
    EXPECT_EQ(List(dlg, 1026)->count(), int(GetPlayDeviceNames().size()));
    EXPECT_EQ(List(dlg, 1026)->itemText(0).toStdString(), GetPlayDeviceNames().front());
    EXPECT_EQ(List(dlg, 1027)->itemText(0).toStdString(), GetRecordDeviceNames().front());
    EXPECT_EQ(List(dlg, 1026)->currentIndex(), 0);
    EXPECT_EQ(Edit(dlg, 1020)->text(), "old.gk");
    EXPECT_EQ(Edit(dlg, 1021)->text(), "pw");
    EXPECT_FALSE(List(dlg, 1028)->isVisible());
    Edit(dlg, 1020)->clear();
    TypeIntoDlgItem(dlg, 1020, "127.0.0.1:1719");
    Edit(dlg, 1019)->clear();
    TypeIntoDlgItem(dlg, 1019, "4321");
    List(dlg, 1026)->setCurrentIndex(1);
    List(dlg, 1028)->setCurrentIndex(1);
    ClickDlgItem(dlg, 1);
  });
  EXPECT_EQ(dlg.DoModal(), 1);
  EXPECT_EQ(Settings(),
            "Serial=S\r\nPin=4321\r\nGatekeeper=127.0.0.1:1719\r\nIsGkPassEnabled=1\r\nGkPass=pw\r\n"
            "Codec Index=1\r\nPlay Device Index=1\r\nRecord Device Index=0");
  EXPECT_EQ(dlg.Account(), (CAccount{"4321", "S", "127.0.0.1:1719", "pw", 1}));
  // The record was reloaded from the file the dialog saved.
  EXPECT_EQ(record.GetPlayDeviceIndex(), 1);
  EXPECT_EQ(record.GetCodecIndex(), 1);
  // The devices the endpoint takes at once are the first of each list.
  EXPECT_EQ(dlg.m_strPlayDeviceName, GetPlayDeviceNames().front());
}

// Signed in without remembering the account: OK stores the choices only, and the window takes the
// account and sets its endpoint up again with it; Cancel changes nothing.
TEST_F(SettingsDialog, TheWindowTakesTheAccountOnOkAndNothingOnCancel) {
  NoServer noServer;  // no devices at all: the lists stay empty and store 0
  CDialerSettings seed;
  seed.SaveSettings("1", "2", "127.0.0.1:9", "0", "", 1, 5, 5);
  CDialerDlg window;
  window.EndPoint().listenerInterfaces = "127.0.0.1:0";
  window.LoadSettings();
  window.SetAccount({"1", "2", "127.0.0.1:9", "", 0});
  const std::string before = Settings();
  WhenModal(nullptr, [](QWidget* dlg) {
    EXPECT_EQ(Edit(dlg, 1019)->text(), "1");
    TypeIntoDlgItem(dlg, 1019, "999");
    ClickDlgItem(dlg, 2);
  });
  window.OnSettings();
  EXPECT_EQ(Settings(), before);
  EXPECT_EQ(window.Account().m_strPin, "1");

  WhenModal(nullptr, [](QWidget* dlg) {
    EXPECT_EQ(List(dlg, 1026)->count(), 0);
    EXPECT_EQ(List(dlg, 1026)->currentIndex(), -1);
    EXPECT_EQ(List(dlg, 1028)->currentIndex(), 1);
    // Line breaks pasted into the account fields are left out as they come.
    for (auto [id, text] :
         {std::pair{1018, "2\r\n"}, {1019, "43\r\n21\n"}, {1020, "127.0.0.1\n:9"}, {1021, "p\r\nw"}}) {
      Edit(dlg, id)->clear();
      Edit(dlg, id)->insert(text);
    }
    EXPECT_EQ(Edit(dlg, 1019)->text(), "4321");
    ClickDlgItem(dlg, 1);
  });
  window.OnSettings();
  EXPECT_EQ(Settings(),
            "Serial=\r\nPin=\r\nGatekeeper=\r\nIsGkPassEnabled=0\r\nGkPass=\r\nCodec Index=1\r\n"
            "Play Device Index=0\r\nRecord Device Index=0");
  EXPECT_EQ(window.Account(), (CAccount{"4321", "2", "127.0.0.1:9", "pw", 0}));
  EXPECT_EQ(window.EndPoint().GetLocalUserName(), "4321");
}
