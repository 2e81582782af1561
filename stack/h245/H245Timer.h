#pragma once
// A one-shot timer of an H.245 procedure (T101, T103, T105, T106, T108), on the control's strand.
//
// The handler runs only while the guard (the control's shared state) is alive, and holds it for as
// long as it runs, so a callback that ends up destroying the control cannot pull its state away
// mid-way. A restart or Cancel() makes an expiry already queued harmless. A timer that runs out
// while the link holds timeouts waits, and starts over with its full time when they are released.

#include "stack/h245/H245Link.h"

#include <asio.hpp>

#include <chrono>
#include <functional>
#include <memory>

namespace vantro::h245 {

class H245Timer {
 public:
  explicit H245Timer(H245Link& link);
  ~H245Timer();
  H245Timer(const H245Timer&) = delete;
  H245Timer& operator=(const H245Timer&) = delete;

  // (Re)starts the timer; onExpiry runs on the strand when it runs out.
  void Start(std::chrono::milliseconds timeout, std::function<void()> onExpiry);
  void Cancel();
  bool IsRunning() const { return running_; }
  // Timeouts are no longer held: a timer that ran out meanwhile starts over.
  void Release();

 private:
  H245Link& link_;
  asio::steady_timer timer_;
  unsigned generation_ = 0;
  bool running_ = false;
  bool held_ = false;
  std::chrono::milliseconds timeout_{0};
  std::function<void()> onExpiry_;
};

}  // namespace vantro::h245
