#include "tests/support/QtTestMain.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

void ProcessEventsFor(int ms) {
  ProcessEventsUntil([] { return false; }, ms);
}

bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(1);
  }
  return true;
}

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "platform/DialogItems.h"

void SendMouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButtons buttons, Qt::MouseButton button) {
  QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, buttons, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &e);
}

void WhenModal(QWidget* modal, std::function<void(QWidget*)> step, int triesLeft) {
  QTimer::singleShot(10, [=] {
    QWidget* top = QApplication::activeModalWidget();
    if (top && (!modal || top == modal))
      step(top);
    else if (triesLeft > 0)
      WhenModal(modal, step, triesLeft - 1);
    else
      ADD_FAILURE() << "the dialog never came up";
  });
}

void ClickDlgItem(QWidget* dialog, int id) {
  auto* button = qobject_cast<QAbstractButton*>(GetDlgItem(dialog, id));
  if (!button) {
    ADD_FAILURE() << "no button " << id;
    return;
  }
  ClickInItsWindow(button);
}

void ClickInItsWindow(QWidget* w) {
  if (!w->isVisible()) {
    ADD_FAILURE() << "a click on a control that is not shown";
    return;
  }
  QWidget* window = w->window();
  QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, w->mapTo(window, w->rect().center()));
}

void TypeIntoDlgItem(QWidget* dialog, int id, const char* text) {
  auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(dialog, id));
  if (!edit) {
    ADD_FAILURE() << "no edit " << id;
    return;
  }
  QTest::keyClicks(edit, text);
}
