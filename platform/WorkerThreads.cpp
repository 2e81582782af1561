#include "WorkerThreads.h"

#include <atomic>
#include <system_error>
#include <vector>

CWorkerThreads::~CWorkerThreads() { JoinAll(); }

bool CWorkerThreads::Start(std::function<void()> body) {
  auto done = std::make_shared<std::atomic<bool>>(false);
  std::lock_guard lock(m_mutex);
  ReapLocked();
  try {
    m_workers.push_back(Worker{std::thread([body = std::move(body), done] {
                                 try {
                                   body();
                                 } catch (...) {
                                   // No exception leaves a worker.
                                 }
                                 done->store(true);
                               }),
                               done});
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void CWorkerThreads::JoinAll() {
  // Threads may start further threads while we wait, so take the list until it stays empty.
  for (;;) {
    std::list<Worker> workers;
    {
      std::lock_guard lock(m_mutex);
      workers.swap(m_workers);
    }
    if (workers.empty()) return;
    for (Worker& w : workers)
      if (w.thread.joinable() && w.thread.get_id() != std::this_thread::get_id())
        w.thread.join();
      else if (w.thread.joinable())
        w.thread.detach();
  }
}

int CWorkerThreads::Running() const {
  std::lock_guard lock(m_mutex);
  int n = 0;
  for (const Worker& w : m_workers)
    if (!w.done->load()) ++n;
  return n;
}

void CWorkerThreads::ReapLocked() {
  for (auto it = m_workers.begin(); it != m_workers.end();) {
    if (it->done->load()) {
      it->thread.join();
      it = m_workers.erase(it);
    } else {
      ++it;
    }
  }
}
