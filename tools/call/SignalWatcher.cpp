#include "tools/call/SignalWatcher.h"

#include <pthread.h>

#include <ctime>

namespace vantro::tool {

SignalWatcher::SignalWatcher(std::function<void(const char*)> onSignal) : onSignal_(std::move(onSignal)) {
  std::signal(SIGPIPE, SIG_IGN);
  sigemptyset(&set_);
  sigaddset(&set_, SIGINT);
  sigaddset(&set_, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set_, nullptr);
  thread_ = std::thread([this] { Watch(); });
}

SignalWatcher::~SignalWatcher() {
  stop_ = true;
  // The signals stay blocked: one that comes while the program ends is simply not acted on.
  thread_.join();
}

void SignalWatcher::Watch() {
  // A short wait at a time, so that the destructor need not send a signal to stop it.
  const timespec wait{0, 100'000'000};
  while (!stop_) {
    const int signal = sigtimedwait(&set_, nullptr, &wait);
    if (signal == SIGINT || signal == SIGTERM) {
      try {
        onSignal_(signal == SIGINT ? "SIGINT" : "SIGTERM");
      } catch (...) {
        // The handler only queues an event; nothing of it may end the watcher.
      }
    }
  }
}

}  // namespace vantro::tool
