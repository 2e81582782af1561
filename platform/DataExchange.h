#pragma once

#include <string>

#include <QLineEdit>

// Moves a text between a dialog's field and its edit: save copies the edit's text into the field,
// load puts the field into the edit.
inline void DDX_Text(bool save, QLineEdit *edit, std::string &field)
{
    if (save)
        field = edit->text().toStdString();
    else
        edit->setText(QString::fromStdString(field));
}
