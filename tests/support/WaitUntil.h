#pragma once
// Waits for another thread's work by polling a condition until a deadline, instead of sleeping a
// fixed time and hoping the work is done by then.

#include <chrono>
#include <functional>
#include <thread>

namespace vantro::test {

// True as soon as done() holds; false when it still does not after the limit.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace vantro::test
