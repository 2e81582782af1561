#include "skin/CTransparentStatic.h"

CTransparentStatic::CTransparentStatic(QWidget* parent) : CTransparentStatic(QString(), parent) {}

CTransparentStatic::CTransparentStatic(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setAutoFillBackground(false);
  setAttribute(Qt::WA_TranslucentBackground);
  // A plain static takes no clicks: they go to what lies beneath it (the main window's keypad
  // keys lie partly under one).
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CTransparentStatic::SetWindowText(const QString& text) {
  setText(text);
  if (QWidget* parent = parentWidget())
    parent->repaint(geometry());  // the parent's background first, then the new text
}
