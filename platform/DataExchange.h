#pragma once

#include <algorithm>
#include <string>

#include <QLineEdit>

// The text without its line breaks (CR and LF): what a one-line field takes of a pasted text.
inline QString WithoutLineBreaks(QString text) {
  text.remove(QLatin1Char('\r'));
  text.remove(QLatin1Char('\n'));
  return text;
}

// Moves a text between a dialog's field and its edit: save copies the edit's text into the field,
// load puts the field into the edit. An edit holds one line: line breaks never reach the field.
inline void DDX_Text(bool save, QLineEdit* edit, std::string& field) {
  if (save)
    field = WithoutLineBreaks(edit->text()).toStdString();
  else
    edit->setText(QString::fromStdString(field));
}

// Takes line breaks typed or pasted into the edit out as they come, the cursor staying after what
// was entered; connect this before anything that reads the edit on textEdited.
inline void KeepOnOneLine(QLineEdit* edit) {
  QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& text) {
    const QString line = WithoutLineBreaks(text);
    if (line == text) return;
    const int cursor = edit->cursorPosition();
    const int removed = text.size() - line.size();
    edit->setText(line);
    edit->setCursorPosition(std::max(0, cursor - removed));
  });
}
