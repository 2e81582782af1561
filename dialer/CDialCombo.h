#pragma once

#include <QComboBox>

class CDialerDlg;

// The dial box: an editable drop-down of recently dialled numbers, unsorted. Enter (released)
// places a call when none is in progress; Escape (released) hangs up the call in progress.
class CDialCombo : public QComboBox {
  Q_OBJECT
 public:
  explicit CDialCombo(QWidget* parent = nullptr);

  // Gives the dial box its window; this also clears the in-call flag.
  void SetOwner(CDialerDlg* owner);
  CDialerDlg* Owner() const { return m_pOwner; }

  // 1 while a call that the window placed (or answered) has not been cleared.
  bool InCall() const { return m_bInCall; }
  void SetInCall(bool inCall) { m_bInCall = inCall; }

  // The edit's text selection as (start, end); both the text length when nothing is selected.
  QPair<int, int> GetEditSel() const;
  void SetEditSel(int start, int end);

 signals:
  // The user changed the text (typing, pasting); not sent for text set by the program.
  void editChanged();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  CDialerDlg* m_pOwner = nullptr;
  bool m_bInCall = false;
};
