// The keypad and the dial box: key tones, the dial string, Clear, typed characters and the tones
// that mark a dialled number.
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include "dialer/CDialCombo.h"
#include "dialer/CDialerDlg.h"
#include "dialer/ControlIds.h"
#include "platform/MessageBox.h"
#include "dialer/Sounds.h"
#include "platform/VirtualKeys.h"

namespace {

struct KeyRow {
  int id;
  const char* toneName;
  const char* text;
};

constexpr KeyRow kKeypad[] = {
    {IDC_KEY1, "1", "1"}, {IDC_KEY2, "2", "2"},  {IDC_KEY3, "3", "3"},       {IDC_KEY4, "4", "4"},
    {IDC_KEY5, "5", "5"}, {IDC_KEY6, "6", "6"},  {IDC_KEY7, "7", "7"},       {IDC_KEY8, "8", "8"},
    {IDC_KEY9, "9", "9"}, {IDC_KEY0, "10", "0"}, {IDC_KEYSTAR, "star", "*"}, {IDC_KEYHASH, "hash", "#"},
};

}  // namespace

void CDialerDlg::OnKey(int id) {
  for (const KeyRow& row : kKeypad) {
    if (row.id != id) continue;
    PlayKeyTone(row.toneName);
    m_strDial += row.text;
    UpdateData(false);
    FocusDialBoxAtEnd();
    SendDtmf(row.text[0]);
    return;
  }
}

void CDialerDlg::PlayKeyTone(const std::string& name) {
  // The record in memory, not the file: the tone must not wait on a reload.
  ::PlayKeyTone(m_settings.GetPlayDeviceIndex(), name);
}

void CDialerDlg::FocusDialBoxAtEnd() {
  m_dialBox->setFocus();
  const int length = static_cast<int>(QString::fromStdString(m_strDial).size());
  m_dialBox->SetEditSel(length, -1);
  m_dialBox->lineEdit()->deselect();
}

void CDialerDlg::OnClear() {
  if (!m_strDial.empty()) {
    // Drop the last character (a whole one, not a byte of it).
    QString dial = QString::fromStdString(m_strDial);
    dial.chop(1);
    m_strDial = dial.toStdString();
    UpdateData(false);
  }
  FocusDialBoxAtEnd();
}

void CDialerDlg::OnDialEditChange() {
  PlayClick();
  UpdateData(true);
}

void CDialerDlg::SendDtmf(char c) {
  if (!m_dialBox->InCall()) return;
  // Each worker carries its own character, so quick presses cannot overwrite one another, and
  // its turn, so the far end gets the characters in the order of the keys.
  const uint64_t turn = m_dtmfTurns.Take();
  if (!StartWorker([this, c, turn] { DtmfThread(c, turn); })) m_dtmfTurns.Done(turn);
}

void CDialerDlg::DtmfThread(char c, uint64_t turn) {
  if (m_dtmfTurns.Wait(turn)) m_calls->SendUserInput(m_strToken.Get(), std::string(1, c));
  m_dtmfTurns.Done(turn);
}

bool CDialerDlg::eventFilter(QObject* watched, QEvent* event) {
  // Every key pressed in the window during a call goes into the call as well. A key press is
  // seen once, at the widget that has the focus.
  if (event->type() == QEvent::KeyPress && m_dialBox->InCall()) {
    QWidget* focus = QApplication::focusWidget();
    if (focus && watched == focus && (focus == this || isAncestorOf(focus))) {
      const int vk = VirtualKeyCode(*static_cast<QKeyEvent*>(event));
      if (vk) SendDtmf(char(vk & 0xFF));
    }
  }
  return CShapedDialog::eventFilter(watched, event);
}

void CDialerDlg::OnChar(QKeyEvent* event) {
  AfxMessageBox("Hi", MB_OK, {}, this);
  if (event->text() == "1") {
    Beep(600, 100);
    m_strDial += "1";
    UpdateData(false);
    FocusDialBoxAtEnd();
  }
}

void CDialerDlg::StartDialTones() {
  // The length is taken now, on the user-interface thread that owns the dial string.
  const size_t n = static_cast<size_t>(QString::fromStdString(m_strDial).size());
  const int device = m_settings.GetPlayDeviceIndex();
  StartWorker([this, n, device] { m_dialTones.Play(device, n); });
}
