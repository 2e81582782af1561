#include <QComboBox>
#include <QLineEdit>

#include <gtest/gtest.h>

#include "dialer/CDialerDlg.h"
#include "platform/DialogItems.h"
#include "platform/SoundDevices.h"
#include "settings/CSettingsDlg.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/SoundTestSupport.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

class SettingsDialog : public ::testing::Test {
protected:
    SettingsDialog()
    {
        fs::create_directory("data1");
        window.m_pAccountDlg = std::make_unique<CAccountDlg>();
    }
    std::string Settings() const { return ReadFileBytes(dir / "data1/Dialer.property"); }

    TempDir dir{true};
    CDialerDlg window;
};

QComboBox *List(QWidget *dlg, int id)
{
    return static_cast<QComboBox *>(GetDlgItem(dlg, id));
}

QLineEdit *Edit(QWidget *dlg, int id)
{
    return static_cast<QLineEdit *>(GetDlgItem(dlg, id));
}

} // namespace

TEST_F(SettingsDialog, OkStoresTheAccountAndChoicesAndUpdatesTheWindow)
{
    REQUIRE_TEST_SERVER();
    window.m_pAccountDlg->m_bRememberAccount = 1;
    window.m_settings.SaveSettings("1", "S", "old.gk", "1", "pw", 0, 0, 0);
    window.m_settings.LoadSettings();
    window.m_strGatekeeper = "old.gk";
    window.m_strPin = "1";
    window.m_strSerial = "S";
    window.m_strGkPass = "pw";
    window.m_nGkPassEnabled = 1;
    WhenModal(nullptr, [](QWidget *dlg) {
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
    window.OnSettings();
    EXPECT_EQ(Settings(), "Serial=S\r\nPin=4321\r\nGatekeeper=127.0.0.1:1719\r\n"
                          "IsGkPassEnabled=1\r\nGkPass=pw\r\nCodec Index=1\r\n"
                          "Play Device Index=1\r\nRecord Device Index=0");
    EXPECT_EQ(window.m_strGatekeeper.Get(), "127.0.0.1:1719");
    EXPECT_EQ(window.m_strPin.Get(), "4321");
    EXPECT_EQ(window.m_strGkPassEnabled.Get(), "1");
    // The window's record was reloaded from the file the dialog saved.
    EXPECT_EQ(window.m_settings.GetPlayDeviceIndex(), 1);
    EXPECT_EQ(window.m_settings.GetCodecIndex(), 1);
}

TEST_F(SettingsDialog, WithoutRememberOnlyTheChoicesAreStored)
{
    NoServer noServer; // no devices at all: the lists stay empty and store 0
    window.m_pAccountDlg->m_bRememberAccount = 0;
    window.m_settings.SaveSettings("", "", "", "0", "", 1, 5, 5);
    window.m_settings.LoadSettings();
    window.m_nGkPassEnabled = 0;
    WhenModal(nullptr, [](QWidget *dlg) {
        EXPECT_EQ(List(dlg, 1026)->count(), 0);
        EXPECT_EQ(List(dlg, 1026)->currentIndex(), -1);
        EXPECT_EQ(List(dlg, 1028)->currentIndex(), 1);
        TypeIntoDlgItem(dlg, 1020, "127.0.0.1:9");
        TypeIntoDlgItem(dlg, 1018, "SER");
        TypeIntoDlgItem(dlg, 1019, "77");
        ClickDlgItem(dlg, 1);
    });
    window.OnSettings();
    EXPECT_EQ(Settings(), "Serial=\r\nPin=\r\nGatekeeper=\r\nIsGkPassEnabled=0\r\nGkPass=\r\n"
                          "Codec Index=1\r\nPlay Device Index=0\r\nRecord Device Index=0");
    // The window goes on with what was typed until the next balance refresh.
    EXPECT_EQ(window.m_strPin.Get(), "77");
    EXPECT_EQ(window.m_strGatekeeper.Get(), "127.0.0.1:9");
}

TEST_F(SettingsDialog, CancelChangesNothing)
{
    NoServer noServer;
    window.m_settings.SaveSettings("1", "2", "3", "0", "", 0, 0, 0);
    const std::string before = Settings();
    window.m_strPin = "1";
    WhenModal(nullptr, [](QWidget *dlg) {
        TypeIntoDlgItem(dlg, 1019, "999");
        ClickDlgItem(dlg, 2);
    });
    window.OnSettings();
    EXPECT_EQ(Settings(), before);
    EXPECT_EQ(window.m_strPin.Get(), "1");
}
