#pragma once

#include <string>

#include <QDialog>

class CDialerDlg;
class CHyperLink;
class QComboBox;
class QLineEdit;
class QPushButton;

// The settings dialog: the play and record devices and the account (gatekeeper, serial, PIN,
// gatekeeper password). OK stores them in the settings file and gives them to the main window,
// which then sets up the endpoint again and registers anew.
class CSettingsDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSettingsDlg(QWidget *parent = nullptr);

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

    // Gives the dialog the window; the codec, play and record indexes come from the window's
    // settings record.
    void SetWindow(CDialerDlg *window);

    // Shows the dialog: 1 after OK, 2 after Cancel.
    int DoModal();

    void UpdateData(bool save);

    int m_nRecordDevice = 0;
    int m_nPlayDevice = 0;
    int m_nCodec = 0;
    std::string m_strRecordDeviceName; // the first record device when the dialog opened
    std::string m_strPlayDeviceName;   // the first play device when the dialog opened
    int m_nGkPassEnabled = 0;
    CDialerDlg *m_pWindow = nullptr;
    std::string m_strPin;
    std::string m_strSerial;
    std::string m_strGatekeeper;
    std::string m_strGkPass;

public slots:
    void accept() override; // OK

private:
    void OnInitDialog();

    QComboBox *m_play;
    QComboBox *m_record;
    QComboBox *m_codec;
    QLineEdit *m_gatekeeper;
    QLineEdit *m_serial;
    QLineEdit *m_pin;
    QLineEdit *m_gkPass;
    CHyperLink *m_callLogLink;
    QPushButton *m_ok;
};
