#pragma once

#include <QLabel>

// A text static drawn straight onto whatever its parent painted beneath it, with no box of its
// own. Change its text with SetWindowText, which has the parent repaint the area at once so the
// old text leaves no trace.
class CTransparentStatic : public QLabel {
 public:
  explicit CTransparentStatic(QWidget* parent = nullptr);
  CTransparentStatic(const QString& text, QWidget* parent = nullptr);

  void SetWindowText(const QString& text);
};
