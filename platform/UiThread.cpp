#include "UiThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <atomic>

bool IsUiThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return !app || QThread::currentThread() == app->thread();
}

namespace {
// Qt's event queue hands the call over under its own locks. This release (posting side) and
// acquire (where the call runs, or is dropped with its context) say the same in the language's
// memory model, so that everything the posting thread wrote before the post, such as the call's
// captured values, is seen as written before the call runs or is freed, also by tools that do not
// see inside Qt's locks.
std::atomic<unsigned> g_handOvers{0};

class HandedOver {
 public:
  explicit HandedOver(std::function<void()> fn) : m_fn(std::move(fn)) {
    g_handOvers.fetch_add(1, std::memory_order_release);
  }
  HandedOver(HandedOver&&) = default;
  HandedOver(const HandedOver&) = delete;
  HandedOver& operator=(const HandedOver&) = delete;
  HandedOver& operator=(HandedOver&&) = delete;
  ~HandedOver() { g_handOvers.load(std::memory_order_acquire); }

  void operator()() {
    g_handOvers.load(std::memory_order_acquire);
    m_fn();
  }

 private:
  std::function<void()> m_fn;
};
}  // namespace

void PostToUi(QObject* context, std::function<void()> fn) {
  if (!context) return;
  QMetaObject::invokeMethod(context, HandedOver(std::move(fn)), Qt::QueuedConnection);
}
