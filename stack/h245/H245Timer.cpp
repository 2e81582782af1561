#include "stack/h245/H245Timer.h"

#include "runtime/PTrace.h"

#include <exception>

namespace vantro::h245 {

H245Timer::H245Timer(H245Link& link) : link_(link), timer_(link.Strand()) { link_.Register(this); }

H245Timer::~H245Timer() {
  Cancel();
  link_.Unregister(this);
}

void H245Timer::Start(std::chrono::milliseconds timeout, std::function<void()> onExpiry) {
  Cancel();
  running_ = true;
  timeout_ = timeout;
  onExpiry_ = std::move(onExpiry);
  const unsigned generation = generation_;
  timer_.expires_after(timeout);
  timer_.async_wait([this, guard = link_.Guard(), generation](const asio::error_code& ec) {
    std::shared_ptr<void> keep = guard.lock();
    // The guard owns this timer: alive guard, alive timer.
    if (!keep || ec || generation != generation_) return;
    if (link_.AreTimeoutsHeld()) {
      held_ = true;
      return;
    }
    running_ = false;
    // The handler may restart or destroy this timer: it runs from a copy.
    std::function<void()> onExpiry = std::move(onExpiry_);
    try {
      onExpiry();
    } catch (const std::exception& e) {
      PTRACE(1, "H245", "timer handler failed: " << e.what());
    }
  });
}

void H245Timer::Release() {
  if (!held_) return;
  held_ = false;
  Start(timeout_, std::move(onExpiry_));
}

void H245Timer::Cancel() {
  ++generation_;
  running_ = false;
  held_ = false;
  timer_.cancel();
}

}  // namespace vantro::h245
