#pragma once

#include <string>

#include "settings/CAccount.h"
#include "settings/CAccountFields.h"
#include "skin/CShapedDialog.h"

class CBitmapButton;
class CDialerSettings;
class QCheckBox;
class QLineEdit;

// The sign-in dialog shown at every start: gatekeeper address, serial, PIN and gatekeeper
// password, whether the password is used and whether the account is stored in the settings file.
// OK with the serial, the PIN or the gatekeeper missing ends the program after saying so; otherwise
// it stores the account (or only the password flag and the indexes) through the settings record
// and the caller takes the account from Account().
class CAccountDlg : public CShapedDialog {
  Q_OBJECT
 public:
  explicit CAccountDlg(QWidget* parent = nullptr);

  enum {
    IDC_SERIAL = 1018,
    IDC_PIN = 1019,
    IDC_GATEKEEPER = 1020,
    IDC_GKPASS = 1021,
    IDC_REMEMBER = 1051,
    IDC_USE_GKPASS = 1052,
  };

  // Shows the dialog: 1 after OK, 2 after Cancel.
  int DoModal();

  // Moves the edits' texts into the fields (save) or the fields into the edits (load).
  void UpdateData(bool save);

  // The account shown when the dialog opens; after OK, the account entered.
  void SetAccount(const CAccount& account) { m_account = account; }
  const CAccount& Account() const { return m_account; }

  // The state of the store-the-account box when OK was pressed.
  bool RememberAccount() const { return m_bRememberAccount != 0; }

  int m_nRecordDevice = 0;
  int m_nPlayDevice = 0;
  int m_nCodec = 0;
  CDialerSettings* m_pSettings = nullptr;

 public slots:
  void accept() override;  // OK

 private:
  void OnInitDialog();

  CAccount m_account;
  int m_bRememberAccount = 0;

  CAccountFields m_fields;
  QCheckBox* m_useGkPass;
  QCheckBox* m_remember;
  CBitmapButton* m_ok;
  CBitmapButton* m_cancel;
};
