// The window's start-up sequence and what it shares with the settings dialog: device names, the
// dial history, the banner and the registration triggers.
#include <filesystem>

#include <QProgressBar>

#include "dialer/CDialCombo.h"
#include "dialer/CDialerDlg.h"
#include "web/WebAddresses.h"
#include "platform/MessageBox.h"
#include "platform/SoundDevices.h"
#include "platform/System.h"
#include "platform/UiThread.h"
#include "web/DownloadFile.h"

int CDialerDlg::DoModal() {
  OnInitDialog();
  return exec();
}

void CDialerDlg::LoadSettings() { m_settings.LoadSettings(); }

bool CDialerDlg::OnInitDialog() {
  // 1-2: the settings and the window's copy of the account.
  LoadSettings();
  m_account = m_settings.GetAccount();

  // 3-4: the sign-in dialog, before the window shows; OK gives the window the account entered.
  m_pAccountDlg = std::make_unique<CAccountDlg>();
  m_pAccountDlg->SetAccount(m_account);
  m_pAccountDlg->m_nRecordDevice = m_settings.GetRecordDeviceIndex();
  m_pAccountDlg->m_nPlayDevice = m_settings.GetPlayDeviceIndex();
  m_pAccountDlg->m_nCodec = m_settings.GetCodecIndex();
  m_pAccountDlg->m_pSettings = &m_settings;
  if (m_pAccountDlg->DoModal() != IDOK) {
    EndProcess(0);
    return false;  // only when a test stands in for the end of the program
  }
  m_account = m_pAccountDlg->Account();

  // 5-8: window menu, icon, flags, caption.
  AppendAboutToSystemMenu();
  setWindowIcon(m_hIcon);
  m_bBusy = 0;
  m_dialBox->SetOwner(this);
  setWindowTitle("Vantro Dialer");

  // 9: the shape of the skin.
  ShapeWindow();

  // 10: the endpoint, with the stored codec and devices.
  InitialiseEndPoint(m_settings.GetCodecIndex(), GetPlayDeviceName(0), GetRecordDeviceName(0));

  // 11-12: dial history, volume and registration.
  RefillDialHistory();
  StartVolumeInit();
  StartRegisterThread();

  // 13: level bars and the skin of every control (which disables hang-up).
  for (QProgressBar* bar : {m_txLevel, m_rxLevel}) {
    bar->setRange(1, 9000);
    bar->setValue(1);
  }
  SkinControls();

  // 14: the banner.
  ShowBanner();

  // 15: the call timer (its owner is this window from the start).
  m_callTimer.SetPeriod(250);
  return true;
}

std::string CDialerDlg::GetPlayDeviceName(int index) {
  m_settings.LoadSettings();
  return GetPlayDeviceNameByIndex(index == 0 ? m_settings.GetPlayDeviceIndex() : index);
}

std::string CDialerDlg::GetRecordDeviceName(int index) {
  m_settings.LoadSettings();
  return GetRecordDeviceNameByIndex(index == 0 ? m_settings.GetRecordDeviceIndex() : index);
}

void CDialerDlg::RefillDialHistory() {
  m_dialBox->clear();
  m_callLog.Open();
  while (m_callLog.ReadLine()) m_dialBox->addItem(QString::fromStdString(m_callLog.GetLine()));
  m_dialBox->setEditText(QString::fromStdString(m_strDial));
}

void CDialerDlg::ShowBanner() {
  if (m_banner->Load("data1/banner.gif")) m_banner->Draw();
  StartWorker([this] { BannerThread(); });
}

int CDialerDlg::BannerThread() {
  std::error_code ec;
  const std::string path = (std::filesystem::current_path(ec) / "data1" / "link1.gif").string();
  if (ec || !DownloadFile(BannerAddress(), path, m_bannerDeadline, 8 << 20, &m_closing))
    return 0;  // the shipped banner stays
  // Decoded here, shown whole on the user-interface thread. Every load first unloads, so a
  // download that is not a picture leaves the banner empty.
  auto picture = std::make_shared<const CPictureEx::Picture>(CPictureEx::DecodeFile("data1/link1.gif"));
  PostToUi(m_banner, [banner = m_banner, picture] {
    if (banner->Load(*picture)) banner->Draw();
  });
  return 0;
}

void CDialerDlg::OnSettings() {
  m_pSettingsDlg = std::make_unique<CSettingsDlg>();
  m_pSettingsDlg->SetAccount(m_account);
  m_pSettingsDlg->SetSettings(&m_settings);
  m_pSettingsDlg->SetRememberAccount(m_pAccountDlg && m_pAccountDlg->RememberAccount());
  if (m_pSettingsDlg->DoModal() != 1) return;
  m_account = m_pSettingsDlg->Account();
  if (m_bBusy != 0) {
    // Setting the endpoint up again and unregistering would end the call in progress: that
    // waits for the end of the call.
    m_bReinitialiseAfterCall = true;
    return;
  }
  ApplySettingsToEndPoint(m_pSettingsDlg->m_strPlayDeviceName, m_pSettingsDlg->m_strRecordDeviceName,
                          m_account.m_strPin, m_settings.GetCodecIndex());
  ReinitialiseEndPoint();
}
