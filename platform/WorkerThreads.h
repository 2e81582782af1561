#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

// The worker threads a window starts. Each is tracked until it ends; JoinAll (and the destructor)
// waits for those still running, so none outlives the object whose address it was given.
class CWorkerThreads {
 public:
  CWorkerThreads() = default;
  ~CWorkerThreads();

  CWorkerThreads(const CWorkerThreads&) = delete;
  CWorkerThreads& operator=(const CWorkerThreads&) = delete;

  // Starts body on a new thread at once; false when no thread could be started (body does not
  // run). Threads that have ended are reaped here. An exception that leaves body ends only body.
  bool Start(std::function<void()> body);

  // Waits for every thread started so far.
  void JoinAll();

  // Number of threads started and not yet ended.
  int Running() const;

 private:
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  void ReapLocked();

  mutable std::mutex m_mutex;
  std::list<Worker> m_workers;
};
