#pragma once

class QWidget;

// Controls keep the numeric ids of their dialog templates, so that code, tests and the control
// tables line up.
void SetDlgCtrlID(QWidget* control, int id);
// The control's id, or 0 when it has none.
int GetDlgCtrlID(const QWidget* control);
// The descendant of dialog with this id, or nullptr.
QWidget* GetDlgItem(const QWidget* dialog, int id);
