#include "book/CAddressEntryDlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/DataExchange.h"
#include "platform/DialogItems.h"
#include "platform/DialogUnits.h"
#include "platform/MessageBox.h"

namespace {

template <typename W>
W* Place(QWidget* parent, int id, int x, int y, int w, int h) {
  auto* widget = new W(parent);
  if (id) SetDlgCtrlID(widget, id);
  widget->setGeometry(DluToPixels(x, y, w, h));
  return widget;
}

}  // namespace

CAddressEntryDlg::CAddressEntryDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Address Book Entry");
  setFixedSize(DluToPixelsX(186), DluToPixelsY(95));

  auto* nameLabel = Place<QLabel>(this, 1037, 7, 9, 50, 8);
  nameLabel->setText("&Name :");
  m_name = Place<QLineEdit>(this, IDC_NAME, 60, 7, 118, 12);
  auto* numberLabel = Place<QLabel>(this, 1038, 7, 27, 50, 8);
  numberLabel->setText("&Ph Number :");
  m_number = Place<QLineEdit>(this, IDC_NUMBER, 60, 25, 118, 12);
  m_number->setFocusPolicy(Qt::ClickFocus);  // reached with its label's mnemonic or the mouse
  auto* descriptionLabel = Place<QLabel>(this, 1039, 7, 45, 50, 8);
  descriptionLabel->setText("&Description :");
  m_description = Place<QLineEdit>(this, IDC_DESCRIPTION, 60, 43, 118, 12);
  nameLabel->setBuddy(m_name);
  numberLabel->setBuddy(m_number);
  descriptionLabel->setBuddy(m_description);

  auto* ok = Place<QPushButton>(this, 1, 74, 74, 50, 14);
  ok->setText("OK");
  ok->setDefault(true);
  auto* cancel = Place<QPushButton>(this, 2, 128, 74, 50, 14);
  cancel->setText("Cancel");
  connect(ok, &QPushButton::clicked, this, &CAddressEntryDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &CAddressEntryDlg::reject);
}

int CAddressEntryDlg::DoModal() {
  UpdateData(false);
  m_name->setFocus();
  return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

void CAddressEntryDlg::UpdateData(bool save) {
  DDX_Text(save, m_name, m_strName);
  DDX_Text(save, m_description, m_strDescription);
  DDX_Text(save, m_number, m_strNumber);
}

void CAddressEntryDlg::accept() {
  UpdateData(true);
  if (!m_book.AddEntry(m_strName + ":" + m_strNumber + ":" + m_strDescription)) {
    // Keep what was typed, so that nothing is lost silently.
    AfxMessageBox("The contact could not be stored in the address book.", MB_ICONEXCLAMATION, {}, this);
    return;
  }
  m_strName.clear();
  m_strDescription.clear();
  m_strNumber.clear();
  UpdateData(false);
  QDialog::accept();
}
