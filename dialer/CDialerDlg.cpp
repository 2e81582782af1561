#include "dialer/CDialerDlg.h"

CDialerDlg::CDialerDlg(QWidget *parent) : QDialog(parent)
{
    setWindowTitle("Vantro Dialer");
}

CDialerDlg::~CDialerDlg() = default;
