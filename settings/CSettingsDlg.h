#pragma once

#include <string>

#include <QDialog>

#include "settings/CAccount.h"
#include "settings/CAccountFields.h"

class CDialerSettings;
class CHyperLink;
class QComboBox;
class QLineEdit;
class QPushButton;

// The settings dialog: the play and record devices and the account (gatekeeper, serial, PIN,
// gatekeeper password). OK stores them in the settings file through the window's settings record
// and reloads the record; the window then takes the account from Account(), gives the endpoint the
// remembered device names and sets it up again.
class CSettingsDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CSettingsDlg(QWidget* parent = nullptr);

  enum {
    IDC_SERIAL = 1018,
    IDC_PIN = 1019,
    IDC_GATEKEEPER = 1020,
    IDC_GKPASS = 1021,
    IDC_PLAY = 1026,
    IDC_RECORD = 1027,
    IDC_CODEC = 1028,
    IDC_CALL_LOG_LINK = 1058,
  };

  // The window's settings record: the codec, play and record indexes come from it, OK saves
  // through it and reloads it.
  void SetSettings(CDialerSettings* settings);
  // The account shown when the dialog opens (its password flag is kept as it is); after OK, the
  // account entered.
  void SetAccount(const CAccount& account) { m_account = account; }
  const CAccount& Account() const { return m_account; }
  // Whether OK stores the account itself or only the flag and the indexes (the sign-in
  // dialog's store-the-account box).
  void SetRememberAccount(bool remember) { m_bRememberAccount = remember; }

  // Shows the dialog: 1 after OK, 2 after Cancel.
  int DoModal();

  void UpdateData(bool save);

  int m_nRecordDevice = 0;
  int m_nPlayDevice = 0;
  int m_nCodec = 0;
  std::string m_strRecordDeviceName;  // the first record device when the dialog opened
  std::string m_strPlayDeviceName;    // the first play device when the dialog opened

 public slots:
  void accept() override;  // OK

 private:
  void OnInitDialog();

  CAccount m_account;
  bool m_bRememberAccount = false;
  CDialerSettings* m_pSettings = nullptr;

  QComboBox* m_play;
  QComboBox* m_record;
  QComboBox* m_codec;
  CAccountFields m_fields;
  CHyperLink* m_callLogLink;
  QPushButton* m_ok;
};
