#pragma once

#include <QDialog>

// The dialer's main window.
class CDialerDlg : public QDialog {
    Q_OBJECT
public:
    explicit CDialerDlg(QWidget *parent = nullptr);
    ~CDialerDlg() override;
};
