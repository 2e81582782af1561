// The window's side of a call: Call and Hang-up, the status line, the call timer's ticks with the
// duration and the level bars, the endpoint's call events, and the mute boxes.
//
// The endpoint reports a call from the stack's threads and the timer ticks on its own thread;
// both hand what changes on screen to the user-interface thread, where the call's state (busy,
// in call, the buttons, the timer) changes in the order the events came in.
#include <algorithm>
#include <cstdio>

#include <QProgressBar>

#include "dialer/CDialCombo.h"
#include "dialer/CDialerDlg.h"
#include "platform/UiThread.h"
#include "res/Resources.h"

namespace {

// The level bars' range.
constexpr int kLevelMin = 1;
constexpr int kLevelMax = 9000;

std::string DurationText(const char* what, int seconds) {
  char text[64];
  std::snprintf(text, sizeof text, "%s Duration : %d.%d", what, seconds / 60, seconds % 60);
  return text;
}

void SetLevel(QProgressBar* bar, unsigned level) {
  bar->setValue(int(std::clamp<unsigned>(level, kLevelMin, kLevelMax)));
}

}  // namespace

void CDialerDlg::PlaceCall() {
  UpdateData(true);
  m_dwCallStart = 0;
  if (m_strDial.empty()) {
    m_dialBox->setFocus();
    return;
  }
  m_dialBox->SetInCall(true);
  m_bBusy = 1;
  SetStatusLine("Connecting.....");

  // The selection moves to run from its end to the end of the text.
  const auto selection = m_dialBox->GetEditSel();
  m_dialBox->SetEditSel(selection.second, -1);

  // The number as typed, as an alias for the gatekeeper to resolve.
  std::string token;
  const bool placed = m_calls->MakeCall(m_strDial + "@", token);
  m_strToken = token;

  StartDialTones();
  m_btnCall->setEnabled(false);
  m_btnClear->setEnabled(false);
  m_btnHangUp->setEnabled(true);
  m_dialBox->addItem(QString::fromStdString(m_strDial));
  m_dialBox->setFocus();

  // No call could even start, so no event will end it: the window ends it here.
  if (!placed) CallCleared(token, false);
}

void CDialerDlg::HangUp() {
  // Established as the window knows it: its timer runs from the established event to the
  // cleared one.
  const bool established = m_callTimer.IsRunning();
  m_callTimer.StopTimer();
  m_calls->ClearCall(m_strToken.Get());
  int seconds = 0;
  if (established) seconds = int((m_callTimer.GetTickCount() - m_dwCallStart) / 1000);
  ShowTotalDuration(seconds);
}

void CDialerDlg::ShowTotalDuration(int seconds) { SetStatusLine(DurationText("Total", seconds)); }

void CDialerDlg::OnCallTimer(unsigned timerId) {
  const int elapsed = int((m_callTimer.GetTickCount() - m_dwCallStart) / 1000);
  m_nElapsed = elapsed;
  const std::optional<CSignalLevels> levels = m_calls->GetSignalLevels(m_strToken.Get());
  PostToUi(this, [this, timerId, elapsed, levels] { ShowCallTick(timerId, elapsed, levels); });
}

void CDialerDlg::ShowCallTick(unsigned timerId, int elapsed, const std::optional<CSignalLevels>& levels) {
  if (timerId == 0 || m_callTimer.GetTimerId() != timerId) return;
  SetStatusLine(DurationText("Call", elapsed));
  if (!levels) return;
  if (levels->received) SetLevel(m_rxLevel, *levels->received);
  if (levels->transmitted) SetLevel(m_txLevel, *levels->transmitted);
}

void CDialerDlg::OnCallAlerting(const std::string& token) {
  PostToUi(this, [this, token] { CallAlerting(token); });
}

void CDialerDlg::OnCallEstablished(const std::string& token, bool incoming, const std::string& remoteNumber) {
  PostToUi(this, [this, token, incoming, remoteNumber] { CallEstablished(token, incoming, remoteNumber); });
}

void CDialerDlg::OnCallCleared(const std::string& token, bool established) {
  PostToUi(this, [this, token, established] { CallCleared(token, established); });
}

void CDialerDlg::CallAlerting(const std::string& token) {
  if (m_bBusy != 0 && token == m_strToken.Get()) SetStatusLine("Ringing.....");
}

void CDialerDlg::CallEstablished(const std::string& token, bool incoming, const std::string& remoteNumber) {
  // One call at a time: another call's events do not touch the one the window shows, and a
  // call that got through beside it (answered just as the user placed one) is ended rather
  // than left running where no button reaches it.
  if (m_bBusy != 0 && token != m_strToken.Get()) {
    m_calls->ClearCall(token);
    return;
  }
  if (m_bBusy == 0) {
    // An answered call runs like a placed one: the keypad sends digits into it, Escape and
    // Hang-up end it, and the window does not close under it.
    m_bBusy = 1;
    m_dialBox->SetInCall(true);
    m_btnClear->setEnabled(false);
  }
  m_nElapsed = 0;
  m_dwCallStart = m_callTimer.GetTickCount();
  m_callTimer.StartTimer();
  m_strToken = token;
  m_btnCall->setEnabled(false);
  m_btnHangUp->setEnabled(true);
  // The number the user dialled; for an answered call the caller's number, when it has one.
  const std::string number = incoming ? remoteNumber : m_strDial;
  if (!number.empty()) {
    CCallLog log;
    log.AddEntry(number);
  }
}

void CDialerDlg::CallCleared(const std::string& token, bool established) {
  if (m_bBusy == 0 || token != m_strToken.Get()) return;
  m_callTimer.StopTimer();
  StartBalanceThread();
  m_txLevel->setValue(kLevelMin);
  m_rxLevel->setValue(kLevelMin);
  const int seconds = established ? m_nElapsed.load() : 0;
  m_dwCallStart = 0;
  m_nElapsed = 0;
  m_btnHangUp->setEnabled(false);
  m_btnCall->setEnabled(true);
  m_btnClear->setEnabled(true);
  m_dialBox->SetInCall(false);
  m_bBusy = 0;
  ShowTotalDuration(seconds);

  if (m_bReinitialiseAfterCall) {
    m_bReinitialiseAfterCall = false;
    ReinitialiseEndPoint();
  }
}

void CDialerDlg::ToggleSpeakerMute() {
  if (const std::optional<bool> paused = m_calls->TogglePause(m_strToken.Get(), true))
    m_speakerMute->setIcon(QIcon(QPixmap::fromImage(LoadIconResource(*paused ? 140 : 139))));
}

void CDialerDlg::ToggleMicMute() {
  if (const std::optional<bool> paused = m_calls->TogglePause(m_strToken.Get(), false))
    m_micMute->setIcon(QIcon(QPixmap::fromImage(LoadIconResource(*paused ? 138 : 137))));
}
