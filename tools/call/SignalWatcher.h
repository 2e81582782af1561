#pragma once
// SIGINT and SIGTERM as events for the main thread instead of a sudden end: the constructor
// blocks both in the calling thread, so it must run before any other thread starts (they inherit
// the mask), and a thread of its own waits for them. SIGPIPE is ignored: a closed output pipe
// must not kill the program in the middle of a call.

#include <atomic>
#include <csignal>
#include <functional>
#include <thread>

namespace vantro::tool {

class SignalWatcher {
 public:
  // onSignal runs on the watcher's thread with the signal's name ("SIGINT", "SIGTERM").
  explicit SignalWatcher(std::function<void(const char* name)> onSignal);
  ~SignalWatcher();
  SignalWatcher(const SignalWatcher&) = delete;
  SignalWatcher& operator=(const SignalWatcher&) = delete;

 private:
  void Watch();

  std::function<void(const char*)> onSignal_;
  sigset_t set_{};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace vantro::tool
