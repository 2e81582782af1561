#pragma once
// What callbacks record on the stack's threads, for a test's thread to read or to wait for: values
// changed and read under one lock, and a wait that wakes whenever one changes.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace vantro::test {

class Recorder {
 public:
  // A copy of a value the recorder guards.
  template <class T>
  T Read(const T& value) const {
    std::lock_guard lock(mutex_);
    return value;
  }
  // Changes guarded values and wakes the waiters.
  template <class F>
  void Write(F&& change) {
    {
      std::lock_guard lock(mutex_);
      change();
    }
    changed_.notify_all();
  }
  // Waits until pred (which may Read) holds; false after the limit.
  bool WaitFor(const std::function<bool()>& pred, std::chrono::milliseconds limit) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::unique_lock lock(mutex_);
      changed_.wait_for(lock, std::chrono::milliseconds(20));
    }
    return true;
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
};

}  // namespace vantro::test
