#include "UiThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

bool IsUiThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return !app || QThread::currentThread() == app->thread();
}

void PostToUi(QObject* context, std::function<void()> fn) {
  if (!context) return;
  QMetaObject::invokeMethod(context, std::move(fn), Qt::QueuedConnection);
}
