#pragma once

#include <string>

#include <QDialog>

#include "book/CAddressBook.h"

class QLineEdit;

// The entry dialog of the address book: name, phone number and description of a new contact,
// which OK puts at the top of the book.
class CAddressEntryDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CAddressEntryDlg(QWidget* parent = nullptr);

  enum { IDC_NAME = 1041, IDC_DESCRIPTION = 1042, IDC_NUMBER = 1043 };

  // Runs the dialog modally: IDOK (1) when a contact was added, IDCANCEL (2) otherwise.
  int DoModal();

  // Moves the boxes' texts into the strings (save) or the strings into the boxes (load).
  void UpdateData(bool save);

  std::string m_strName;
  std::string m_strDescription;
  std::string m_strNumber;

 public slots:
  void accept() override;  // OK or Enter

 private:
  CAddressBook m_book;
  QLineEdit* m_name;
  QLineEdit* m_description;
  QLineEdit* m_number;
};
