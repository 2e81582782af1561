#include "VirtualKeys.h"

#include <QKeyEvent>

int VirtualKeyCode(const QKeyEvent& event) {
  const int key = event.key();
  const bool keypad = event.modifiers() & Qt::KeypadModifier;
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return keypad ? 0x60 + (key - Qt::Key_0) : '0' + (key - Qt::Key_0);
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + (key - Qt::Key_A);
  switch (key) {
    case Qt::Key_Asterisk: return keypad ? 0x6A : '*';
    case Qt::Key_NumberSign: return '#';
    case Qt::Key_Return:
    case Qt::Key_Enter: return 0x0D;
    case Qt::Key_Escape: return 0x1B;
    case Qt::Key_Space: return 0x20;
    case Qt::Key_Backspace: return 0x08;
    case Qt::Key_Tab: return 0x09;
    default: return 0;
  }
}
