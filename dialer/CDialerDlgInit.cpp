// The window's start-up sequence and what it shares with the settings dialog: device names, the
// dial history, the banner and the registration triggers.
#include <filesystem>

#include <QProgressBar>

#include "dialer/CDialCombo.h"
#include "dialer/CDialerDlg.h"
#include "dialer/WebAddresses.h"
#include "platform/MessageBox.h"
#include "platform/SoundDevices.h"
#include "platform/System.h"
#include "web/DownloadFile.h"

int CDialerDlg::DoModal()
{
    OnInitDialog();
    return exec();
}

bool CDialerDlg::OnInitDialog()
{
    // 1-2: the settings and the window's copies of the account.
    m_settings.LoadSettings();
    m_strPin = m_settings.GetPin();
    m_strSerial = m_settings.GetSerial();
    m_strGatekeeper = m_settings.GetGatekeeper();
    m_strGkPass = m_settings.GetGkPass();
    m_strGkPassEnabled = m_settings.GetGkPassEnabled();
    m_nGkPassEnabled = AtoiClamped(m_settings.GetGkPassEnabled());

    // 3-4: the sign-in dialog, before the window shows.
    m_pAccountDlg = std::make_unique<CAccountDlg>();
    m_pAccountDlg->m_strPin = m_strPin.Get();
    m_pAccountDlg->m_strSerial = m_strSerial.Get();
    m_pAccountDlg->m_strGatekeeper = m_strGatekeeper.Get();
    m_pAccountDlg->m_strGkPass = m_strGkPass.Get();
    m_pAccountDlg->m_nRecordDevice = m_settings.GetRecordDeviceIndex();
    m_pAccountDlg->m_nPlayDevice = m_settings.GetPlayDeviceIndex();
    m_pAccountDlg->m_nCodec = m_settings.GetCodecIndex();
    m_pAccountDlg->m_pSettings = &m_settings;
    m_pAccountDlg->m_pWindow = this;
    if (m_pAccountDlg->DoModal() != IDOK) {
        EndProcess(0);
        return false; // only when a test stands in for the end of the program
    }

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
    for (QProgressBar *bar : {m_txLevel, m_rxLevel}) {
        bar->setRange(1, 9000);
        bar->setValue(1);
    }
    SkinControls();

    // 14: the banner.
    ShowBanner();
    return true;
}

std::string CDialerDlg::GetPlayDeviceName(int index)
{
    m_settings.LoadSettings();
    return GetPlayDeviceNameByIndex(index == 0 ? m_settings.GetPlayDeviceIndex() : index);
}

std::string CDialerDlg::GetRecordDeviceName(int index)
{
    m_settings.LoadSettings();
    return GetRecordDeviceNameByIndex(index == 0 ? m_settings.GetRecordDeviceIndex() : index);
}

void CDialerDlg::RefillDialHistory()
{
    m_dialBox->clear();
    m_callLog.Open();
    while (m_callLog.ReadLine())
        m_dialBox->addItem(QString::fromStdString(m_callLog.GetLine()));
    m_dialBox->setEditText(QString::fromStdString(m_strDial));
}

void CDialerDlg::ShowBanner()
{
    if (m_banner->Load("data1/banner.gif"))
        m_banner->Draw();
    StartWorker([this] { BannerThread(); });
}

int CDialerDlg::BannerThread()
{
    std::error_code ec;
    const std::string path = (std::filesystem::current_path(ec) / "data1" / "link1.gif").string();
    if (ec || !DownloadFile(BannerAddress(), path, m_bannerDeadline, 8 << 20, &m_closing))
        return 0; // the shipped banner stays
    // Every load first unloads, so a download that is not a picture leaves the banner empty.
    if (m_banner->Load("data1/link1.gif"))
        m_banner->Draw();
    return 0;
}

void CDialerDlg::OnSettings()
{
    m_pSettingsDlg = std::make_unique<CSettingsDlg>();
    m_pSettingsDlg->m_strGatekeeper = m_strGatekeeper.Get();
    m_pSettingsDlg->m_strPin = m_strPin.Get();
    m_pSettingsDlg->m_strSerial = m_strSerial.Get();
    m_pSettingsDlg->m_strGkPass = m_strGkPass.Get();
    m_pSettingsDlg->m_nGkPassEnabled = m_nGkPassEnabled;
    m_pSettingsDlg->SetWindow(this);
    if (m_pSettingsDlg->DoModal() != 1)
        return;
    RemoveRegistration();
    const std::string play = GetPlayDeviceName(0);
    const std::string record = GetRecordDeviceName(0);
    InitialiseEndPoint(m_settings.GetCodecIndex(), play, record);
    StartRegisterThread();
}
