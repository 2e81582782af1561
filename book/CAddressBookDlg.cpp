#include "book/CAddressBookDlg.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

#include "platform/DialogItems.h"
#include "platform/DialogUnits.h"
#include "platform/MessageBox.h"

CAddressBookDlg::CAddressBookDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Address Book");
  setFixedSize(DluToPixelsX(186), DluToPixelsY(95));

  m_list = new QTreeWidget(this);
  SetDlgCtrlID(m_list, IDC_LIST);
  m_list->setGeometry(DluToPixels(7, 7, 172, 62));
  m_list->setRootIsDecorated(false);
  m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_list->setColumnCount(3);
  m_list->setHeaderLabels({"Name", "Phone No", "Description"});
  for (int c = 0; c < 3; ++c) m_list->setColumnWidth(c, 80);

  struct Button {
    int id;
    const char* text;
    int x;
  };
  for (const Button& b : {Button{IDC_ADD, "&Add", 7}, Button{IDC_DELETE, "&Delete", 50}, Button{IDC_CALL, "&Call", 93},
                          Button{1, "&Exit", 136}}) {
    auto* button = new QPushButton(b.text, this);
    SetDlgCtrlID(button, b.id);
    button->setGeometry(DluToPixels(b.x, 74, 42, 14));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, id = b.id] {
      switch (id) {
        case IDC_ADD: OnAdd(); break;
        case IDC_DELETE: OnDelete(); break;
        case IDC_CALL: OnCall(); break;
        default: done(1); break;
      }
    });
  }
}

int CAddressBookDlg::DoModal() {
  OnInitDialog();
  return exec();
}

void CAddressBookDlg::OnInitDialog() { FillList(); }

void CAddressBookDlg::FillList() {
  m_list->clear();
  m_book.Open();
  while (m_book.ReadLine()) {
    const CAddressBook::Fields f = CAddressBook::SplitRecord(m_book.GetLine());
    auto* row = new QTreeWidgetItem(m_list);
    row->setText(0, QString::fromStdString(f.name));
    row->setText(1, QString::fromStdString(f.number));
    row->setText(2, QString::fromStdString(f.description));
  }
}

void CAddressBookDlg::OnAdd() {
  switch (m_entryDlg.DoModal()) {
    case -1: AfxMessageBox("An Error has occured. You need to reopen the dialer.", MB_OK, {}, this); break;
    case IDOK: FillList(); break;
    default: break;
  }
}

namespace {

// The selected row nearest the top, or -1.
int FirstSelectedRow(const QTreeWidget* list) {
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    if (list->topLevelItem(i)->isSelected()) return i;
  return -1;
}

}  // namespace

void CAddressBookDlg::OnDelete() {
  const int row = FirstSelectedRow(m_list);
  if (row < 0) return;
  delete m_list->takeTopLevelItem(row);
  std::string text;
  for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = m_list->topLevelItem(i);
    text +=
        item->text(0).toStdString() + ":" + item->text(1).toStdString() + ":" + item->text(2).toStdString() + "\r\n";
  }
  if (!m_book.Rewrite(text)) {
    AfxMessageBox("The address book could not be saved.", MB_ICONEXCLAMATION, {}, this);
    FillList();  // show what the file still holds
  }
}

void CAddressBookDlg::OnCall() {
  const int row = FirstSelectedRow(m_list);
  if (row < 0) return;
  m_strChosenNumber = m_list->topLevelItem(row)->text(1).toStdString();
  done(kCallResult);
}
