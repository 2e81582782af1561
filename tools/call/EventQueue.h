#pragma once
// Events from the stack's threads and the signal watcher to vantro-call's main thread, in order.

#include "tools/call/ToolEvent.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

namespace vantro::tool {

class EventQueue {
 public:
  void Push(ToolEvent event);
  // The next event, or nullopt when none came before the deadline.
  std::optional<ToolEvent> Pop(std::chrono::steady_clock::time_point deadline);

 private:
  std::mutex mutex_;
  std::condition_variable pushed_;
  std::deque<ToolEvent> events_;
};

}  // namespace vantro::tool
