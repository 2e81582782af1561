#pragma once

// The main window's controls by id, for tests that drive the window through its controls.
#include <string>

#include <QLineEdit>
#include <QProgressBar>

#include "dialer/CDialCombo.h"
#include "dialer/CDialerDlg.h"
#include "dialer/ControlIds.h"

template <typename T = QWidget>
T *Control(const CDialerDlg &dlg, int id)
{
    return static_cast<T *>(dlg.GetDlgItem(id));
}

inline CDialCombo *DialBox(const CDialerDlg &dlg)
{
    return Control<CDialCombo>(dlg, IDC_DIAL);
}

inline std::string DialText(const CDialerDlg &dlg)
{
    return DialBox(dlg)->currentText().toStdString();
}

inline std::string StatusLine(const CDialerDlg &dlg)
{
    return Control<CStyledStatic>(dlg, IDC_STATUS)->text().toStdString();
}

inline std::string BalanceLine(const CDialerDlg &dlg)
{
    return Control<CStyledStatic>(dlg, IDC_BALANCE)->text().toStdString();
}

inline int Level(const CDialerDlg &dlg, int id)
{
    return Control<QProgressBar>(dlg, id)->value();
}

inline bool Enabled(const CDialerDlg &dlg, int id)
{
    return dlg.GetDlgItem(id)->isEnabled();
}
