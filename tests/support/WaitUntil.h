#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace vantro::test {

// Polls for another thread's work until done() holds (true) or the limit passes (false), instead of
// sleeping a fixed time and hoping.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  for (const auto deadline = std::chrono::steady_clock::now() + limit; !done();) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace vantro::test
