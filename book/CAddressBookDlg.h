#pragma once

#include <QDialog>

#include "book/CAddressBook.h"
#include "book/CAddressEntryDlg.h"

#include <string>

class QTreeWidget;

// The address book: the contacts of data1/Address.log, newest first, with Add, Delete, Call and
// Exit. Call keeps the chosen number (ChosenNumber) and ends the dialog with kCallResult.
class CAddressBookDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CAddressBookDlg(QWidget* parent = nullptr);

  enum { IDC_LIST = 1035, IDC_ADD = 1036, IDC_CALL = 1037, IDC_DELETE = 1039 };
  static constexpr int kCallResult = IDC_CALL;

  // The phone number of the contact chosen with Call.
  const std::string& ChosenNumber() const { return m_strChosenNumber; }

  // Shows the dialog (refilled from the file); returns kCallResult after Call, 1 after Exit,
  // 2 after Escape or the close box.
  int DoModal();

  QTreeWidget* List() const { return m_list; }
  CAddressEntryDlg& EntryDialog() { return m_entryDlg; }

  void OnAdd();
  void OnDelete();
  void OnCall();

 private:
  void OnInitDialog();
  void FillList();

  std::string m_strChosenNumber;
  CAddressEntryDlg m_entryDlg;
  CAddressBook m_book;
  QTreeWidget* m_list;
};
