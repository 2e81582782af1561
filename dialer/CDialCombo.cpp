#include "dialer/CDialCombo.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "dialer/CDialerDlg.h"

CDialCombo::CDialCombo(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  setDuplicatesEnabled(true);
  // Keys reach the box (it has the focus), which hands them to its edit without passing the
  // edit's filters; keys sent to the edit itself come to the edit. Both are watched.
  installEventFilter(this);
  lineEdit()->installEventFilter(this);
  connect(lineEdit(), &QLineEdit::textEdited, this, &CDialCombo::editChanged);
}

void CDialCombo::SetOwner(CDialerDlg* owner) {
  m_pOwner = owner;
  m_bInCall = false;
}

QPair<int, int> CDialCombo::GetEditSel() const {
  const QLineEdit* edit = lineEdit();
  if (!edit->hasSelectedText()) return {edit->cursorPosition(), edit->cursorPosition()};
  const int start = edit->selectionStart();
  return {start, start + static_cast<int>(edit->selectedText().size())};
}

void CDialCombo::SetEditSel(int start, int end) {
  QLineEdit* edit = lineEdit();
  const int length = static_cast<int>(edit->text().size());
  if (end < 0 || end > length) end = length;
  if (start < 0 || start > length) start = length;
  edit->setSelection(start, end - start);
}

bool CDialCombo::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyRelease && m_pOwner) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !m_bInCall)
      m_pOwner->PlaceCall();
    else if (key->key() == Qt::Key_Escape && m_bInCall)
      m_pOwner->HangUp();
  }
  return QComboBox::eventFilter(watched, event);
}
