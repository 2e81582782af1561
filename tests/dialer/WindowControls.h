#pragma once

// The main window's controls by id, for tests that drive the window through its controls.
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QIcon>
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>
#include <gtest/gtest.h>

#include "dialer/CDialCombo.h"
#include "dialer/CDialerDlg.h"
#include "dialer/ControlIds.h"
#include "res/Resources.h"
#include "tests/support/QtTestMain.h"

template <typename T = QWidget>
T* Control(const CDialerDlg& dlg, int id) {
  return static_cast<T*>(dlg.GetDlgItem(id));
}

inline CDialCombo* DialBox(const CDialerDlg& dlg) { return Control<CDialCombo>(dlg, IDC_DIAL); }

inline std::string DialText(const CDialerDlg& dlg) { return DialBox(dlg)->currentText().toStdString(); }

inline std::string StatusLine(const CDialerDlg& dlg) {
  return Control<CStyledStatic>(dlg, IDC_STATUS)->text().toStdString();
}

inline std::string BalanceLine(const CDialerDlg& dlg) {
  return Control<CStyledStatic>(dlg, IDC_BALANCE)->text().toStdString();
}

// Types the number into the dial box, as the user does, and presses Call (or Enter).
inline void DialAndCall(CDialerDlg& dlg, const std::string& number, bool byEnter = false) {
  DialBox(dlg)->setFocus();
  DialBox(dlg)->lineEdit()->clear();
  QTest::keyClicks(DialBox(dlg)->lineEdit(), QString::fromStdString(number));
  if (byEnter)
    QTest::keyClick(DialBox(dlg), Qt::Key_Return);
  else
    ClickInItsWindow(dlg.GetDlgItem(IDC_CALL));
}

inline int Level(const CDialerDlg& dlg, int id) { return Control<QProgressBar>(dlg, id)->value(); }

// The flags, timer and buttons of the three states of a call as the window shows them.
enum class CallState { Idle, Calling, Established };
inline void ExpectCallState(CDialerDlg& dlg, CallState state) {
  const bool inCall = state != CallState::Idle;
  const bool established = state == CallState::Established;
  EXPECT_EQ(dlg.IsBusy(), inCall);
  EXPECT_EQ(DialBox(dlg)->InCall(), inCall);
  EXPECT_EQ(dlg.EndPoint().connected.load(), established ? 1 : 0);
  EXPECT_EQ(dlg.IsCallTimerRunning(), established);
  EXPECT_EQ(dlg.GetDlgItem(IDC_CALL)->isEnabled(), !inCall);
  EXPECT_EQ(dlg.GetDlgItem(IDC_HANGUP)->isEnabled(), inCall);
  EXPECT_EQ(dlg.GetDlgItem(IDC_CLEAR)->isEnabled(), !inCall);
}

// Every text the status line shows from Restart() on, noted as each event is delivered: a text that
// lasts one event only ("Connecting....." before a call refused at once) is noted too.
class StatusLineTexts : public QObject {
 public:
  explicit StatusLineTexts(const CDialerDlg& dlg) : m_dlg(dlg), m_last(StatusLine(dlg)) {
    QCoreApplication::instance()->installEventFilter(this);
  }
  void Restart() {
    Note();
    m_seen.clear();
  }
  const std::vector<std::string>& Seen() {
    Note();
    return m_seen;
  }
  // Runs the event loop until the status line reads text.
  bool Shows(const std::string& text, int ms) {
    return ProcessEventsUntil(
        [&] {
          Note();
          return m_last == text;
        },
        ms);
  }

 protected:
  bool eventFilter(QObject*, QEvent*) override {
    Note();
    return false;
  }

 private:
  void Note() {
    std::string line = StatusLine(m_dlg);
    if (line == m_last) return;
    m_seen.push_back(line);
    m_last = std::move(line);
  }

  const CDialerDlg& m_dlg;
  std::string m_last;
  std::vector<std::string> m_seen;
};

// An icon as 16 x 16 pixels, to compare icons.
inline QImage IconImage(const QIcon& icon) {
  return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
}

inline QImage IconImage(int id) { return IconImage(QIcon(QPixmap::fromImage(LoadIconResource(id)))); }
