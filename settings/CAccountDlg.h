#pragma once

#include <string>

#include "skin/CShapedDialog.h"

class CBitmapButton;
class CDialerDlg;
class CDialerSettings;
class QCheckBox;
class QLineEdit;

// The sign-in dialog shown at every start: gatekeeper address, serial, PIN and gatekeeper
// password, whether the password is used and whether the account is stored in the settings file.
// OK with the serial, the PIN or the gatekeeper missing ends the program after saying so.
class CAccountDlg : public CShapedDialog {
    Q_OBJECT
public:
    explicit CAccountDlg(QWidget *parent = nullptr);

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

    std::string m_strPin;
    std::string m_strSerial;
    std::string m_strGatekeeper;
    std::string m_strGkPass;
    int m_nRecordDevice = 0;
    int m_nPlayDevice = 0;
    int m_nCodec = 0;
    int m_bRememberAccount = 0;
    CDialerSettings *m_pSettings = nullptr;
    CDialerDlg *m_pWindow = nullptr;

public slots:
    void accept() override; // OK

private:
    void OnInitDialog();

    QLineEdit *m_gatekeeper;
    QLineEdit *m_serial;
    QLineEdit *m_pin;
    QLineEdit *m_gkPass;
    QCheckBox *m_useGkPass;
    QCheckBox *m_remember;
    CBitmapButton *m_ok;
    CBitmapButton *m_cancel;
};
