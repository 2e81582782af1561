#include "tools/call/EventQueue.h"

namespace vantro::tool {

void EventQueue::Push(ToolEvent event) {
  {
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
  }
  pushed_.notify_one();
}

std::optional<ToolEvent> EventQueue::Pop(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  if (!pushed_.wait_until(lock, deadline, [this] { return !events_.empty(); })) return std::nullopt;
  ToolEvent event = std::move(events_.front());
  events_.pop_front();
  return event;
}

}  // namespace vantro::tool
