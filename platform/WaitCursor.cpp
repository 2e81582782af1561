#include "WaitCursor.h"

#include <atomic>

#include <QApplication>
#include <QCursor>

#include "platform/UiThread.h"

namespace {

std::atomic<int> g_depth{0};

// Brings the override cursor in line with the depth; runs on the user-interface thread only, so
// the show/hide pairs cannot interleave.
void Sync() {
  static bool shown = false;
  const bool want = g_depth.load() > 0;
  if (want == shown || !qobject_cast<QApplication*>(QCoreApplication::instance())) return;
  if (want)
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  else
    QApplication::restoreOverrideCursor();
  shown = want;
}

void Request() {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  if (IsUiThread())
    Sync();
  else
    PostToUi(app, Sync);
}

}  // namespace

void BeginWaitCursor() {
  ++g_depth;
  Request();
}

void EndWaitCursor() {
  int d = g_depth.load();
  while (d > 0 && !g_depth.compare_exchange_weak(d, d - 1)) {
  }
  Request();
}

int WaitCursorDepth() { return g_depth.load(); }
