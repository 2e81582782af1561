#pragma once

#include <string>

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QLabel>

#include "platform/WorkerThreads.h"

// A static text that is a web link: link colours, underlined while the mouse is over it (by
// default), a hand cursor, a tooltip with the address, and a click that opens the address with
// the desktop's handler, falling back to the default web browser's own command. The opening runs
// on a worker, so the click returns at once; its result comes back to the user-interface thread,
// which marks the link visited or reports the failure in a message box.
class CHyperLink : public QLabel {
  Q_OBJECT
 public:
  explicit CHyperLink(QWidget* parent = nullptr);
  ~CHyperLink() override;

  // Binds the control once its text is set: an empty target takes the text, an empty text takes
  // the target; fits the control to its text, sets the cursor and the tooltip.
  void PreSubclassWindow();

  void SetTarget(const std::string& target);
  std::string GetTarget() const { return m_strTarget; }

  // An invalid hover colour stands for the desktop's highlight colour.
  void SetLinkColours(const QColor& link, const QColor& visited, const QColor& hover);
  QColor GetLinkColour() const { return m_crLink; }
  QColor GetVisitedColour() const { return m_crVisited; }
  QColor GetHoverColour() const { return m_crHover; }

  void SetWasVisited(bool visited);
  bool GetWasVisited() const { return m_bWasVisited; }

  void SetHandCursor(const QCursor& cursor);
  QCursor GetHandCursor() const { return m_hHandCursor; }

  // 1 always underlined, 0 never, -1 underlined while the mouse is over the link.
  void SetUnderlineMode(int mode);
  int GetUnderlineMode() const { return m_nUnderlineMode; }

  void SetAutoSize(bool autoSize);
  bool GetAutoSize() const { return m_bAutoSize; }

  bool IsHovered() const { return m_bHover; }
  // The colour the text is drawn in now.
  QColor CurrentTextColour() const;
  // Whether the text is drawn underlined now.
  bool IsUnderlined() const { return m_currentUnderlined; }

  // Opens the address; returns a result above 32 on success (see platform/ShellOpen.h).
  static int OpenTarget(const std::string& address);

  // The message for an open that failed with result r.
  static std::string ErrorText(int r);

  // The light grey behind the text.
  static QColor BackgroundColour() { return QColor(210, 210, 210); }

 signals:
  // An open that a click started has finished.
  void opened(bool success);

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void FitToText();
  void SelectFont(bool underlined);
  void OnClicked();
  // The result r of an open, on the user-interface thread.
  void OnOpened(int r);

  QColor m_crLink{0, 0, 238};
  QColor m_crVisited{85, 26, 139};
  QColor m_crHover{255, 0, 0};
  bool m_bHover = false;
  bool m_bWasVisited = false;
  int m_nUnderlineMode = -1;
  bool m_bAutoSize = true;
  std::string m_strTarget;
  QFont m_fontUnderlined;
  QFont m_fontPlain;
  QCursor m_hHandCursor{Qt::PointingHandCursor};
  bool m_bound = false;
  bool m_pressed = false;
  bool m_currentUnderlined = false;
  // The opens under way; the last member, so that they end before the rest goes.
  CWorkerThreads m_workers;
};
