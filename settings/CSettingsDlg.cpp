#include "settings/CSettingsDlg.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "web/WebAddresses.h"
#include "platform/DialogItems.h"
#include "platform/DialogUnits.h"
#include "platform/SoundDevices.h"
#include "settings/CDialerSettings.h"
#include "web/CHyperLink.h"

namespace {

template <typename W>
W* Place(QWidget* parent, int id, int x, int y, int w, int h, const char* text = nullptr) {
  auto* widget = new W(parent);
  if (id) SetDlgCtrlID(widget, id);
  widget->setGeometry(DluToPixels(x, y, w, h, kSansSerif10));
  if constexpr (std::is_base_of_v<QLabel, W> || std::is_base_of_v<QPushButton, W>)
    if (text) widget->setText(text);
  if constexpr (std::is_base_of_v<QGroupBox, W>)
    if (text) widget->setTitle(text);
  return widget;
}

}  // namespace

CSettingsDlg::CSettingsDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Settings");
  setFixedSize(DluToPixelsX(183, kSansSerif10), DluToPixelsY(146, kSansSerif10));

  Place<QGroupBox>(this, 0, 6, 4, 171, 44, "Audio Device");
  Place<QLabel>(this, 0, 14, 18, 36, 10, "Play:");
  m_play = Place<QComboBox>(this, IDC_PLAY, 52, 16, 118, 12);
  Place<QLabel>(this, 0, 14, 32, 36, 10, "Record:");
  m_record = Place<QComboBox>(this, IDC_RECORD, 52, 30, 118, 12);

  Place<QGroupBox>(this, 1055, 6, 52, 171, 68, "Account Information");
  Place<QLabel>(this, 1056, 14, 64, 40, 10, "Gatekeeper:");
  m_fields.gatekeeper = Place<QLineEdit>(this, IDC_GATEKEEPER, 56, 62, 114, 12);
  Place<QLabel>(this, 1053, 14, 78, 40, 10, "Serial:");
  m_fields.serial = Place<QLineEdit>(this, IDC_SERIAL, 56, 76, 114, 12);
  Place<QLabel>(this, 1054, 14, 92, 40, 10, "Pin :");
  m_fields.pin = Place<QLineEdit>(this, IDC_PIN, 56, 90, 114, 12);
  Place<QLabel>(this, 1059, 14, 106, 40, 10, "GK Pass :");
  m_fields.gkPass = Place<QLineEdit>(this, IDC_GKPASS, 56, 104, 114, 12);

  m_ok = Place<QPushButton>(this, 1, 70, 126, 50, 14, "OK");
  m_ok->setDefault(true);
  auto* cancel = Place<QPushButton>(this, 2, 126, 126, 50, 14, "Cancel");

  // The codec choice and the call log link are part of the dialog but not shown.
  Place<QGroupBox>(this, 0, 6, 150, 171, 26, "Codec Selection")->hide();
  Place<QLabel>(this, 0, 14, 162, 30, 10, "Codec :")->hide();
  m_codec = Place<QComboBox>(this, IDC_CODEC, 52, 160, 118, 12);
  m_codec->addItem("G723.1 Codec ( 6.4 Kb)");
  m_codec->addItem("G729A Codec ( 8 Kb ) ");
  m_codec->hide();
  m_callLogLink = Place<CHyperLink>(this, IDC_CALL_LOG_LINK, 14, 180, 40, 10, "Call Log");
  m_callLogLink->hide();

  m_fields.Prepare(this, [this] { UpdateData(true); });
  connect(m_ok, &QPushButton::clicked, this, &CSettingsDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &CSettingsDlg::reject);
}

void CSettingsDlg::SetSettings(CDialerSettings* settings) {
  m_pSettings = settings;
  if (settings) {
    m_nCodec = settings->GetCodecIndex();
    m_nPlayDevice = settings->GetPlayDeviceIndex();
    m_nRecordDevice = settings->GetRecordDeviceIndex();
  }
}

int CSettingsDlg::DoModal() {
  OnInitDialog();
  return exec() == QDialog::Accepted ? 1 : 2;
}

void CSettingsDlg::OnInitDialog() {
  UpdateData(false);

  auto fill = [](QComboBox* list, const std::vector<std::string>& names, int index) {
    list->clear();
    for (const std::string& name : names) list->addItem(QString::fromStdString(name));
    // An index outside the list leaves it without a selection.
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
  };
  const std::vector<std::string> playNames = GetPlayDeviceNames();
  const std::vector<std::string> recordNames = GetRecordDeviceNames();
  m_strPlayDeviceName = playNames.empty() ? std::string() : playNames.front();
  m_strRecordDeviceName = recordNames.empty() ? std::string() : recordNames.front();
  fill(m_codec, {"G723.1 Codec ( 6.4 Kb)", "G729A Codec ( 8 Kb ) "}, m_nCodec);
  fill(m_play, playNames, m_nPlayDevice);
  fill(m_record, recordNames, m_nRecordDevice);

  m_callLogLink->SetLinkColours(QColor(67, 86, 204), QColor(67, 86, 204), QColor(219, 44, 148));
  m_callLogLink->SetTarget(BillingCustomerPage());
  m_callLogLink->PreSubclassWindow();
  m_ok->setEnabled(true);
}

void CSettingsDlg::UpdateData(bool save) { m_fields.Exchange(save, m_account); }

void CSettingsDlg::accept() {
  m_ok->setEnabled(false);
  UpdateData(true);
  // A list without a selection reads -1, which the record stores as 0.
  if (m_pSettings) {
    m_pSettings->SaveSettings(m_account, m_bRememberAccount, m_codec->currentIndex(), m_play->currentIndex(),
                              m_record->currentIndex());
    m_pSettings->LoadSettings();
  }
  QDialog::accept();
}
