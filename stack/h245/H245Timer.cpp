#include "stack/h245/H245Timer.h"

#include "runtime/PTrace.h"

#include <exception>

namespace vantro::h245 {

H245Timer::H245Timer(const H245Link& link) : link_(link), timer_(link.Strand()) {}

H245Timer::~H245Timer() { Cancel(); }

void H245Timer::Start(std::chrono::milliseconds timeout, std::function<void()> onExpiry) {
  Cancel();
  running_ = true;
  const unsigned generation = generation_;
  timer_.expires_after(timeout);
  timer_.async_wait([this, guard = link_.Guard(), generation, onExpiry = std::move(onExpiry)](const asio::error_code& ec) {
    std::shared_ptr<void> keep = guard.lock();
    // The guard owns this timer: alive guard, alive timer.
    if (!keep || ec || generation != generation_) return;
    running_ = false;
    try {
      onExpiry();
    } catch (const std::exception& e) {
      PTRACE(1, "H245", "timer handler failed: " << e.what());
    }
  });
}

void H245Timer::Cancel() {
  ++generation_;
  running_ = false;
  timer_.cancel();
}

}  // namespace vantro::h245
