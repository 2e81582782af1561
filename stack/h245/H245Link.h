#pragma once
// What the procedures of one H.245 control share: the strand, the owner, the settings and the
// one way out for messages. Once the control is gone (Detach) or the session has ended, nothing is
// sent and the owner is not called any more.

#include "stack/asn/Value.h"
#include "stack/h245/H245Control.h"

#include <asio.hpp>

#include <memory>
#include <string>
#include <vector>

namespace vantro::h245 {

class H245Timer;

class H245Link {
 public:
  H245Link(asio::any_io_executor strand, H245Control::Owner& owner, H245Control::Settings settings);

  const asio::any_io_executor& Strand() const { return strand_; }
  const H245Control::Settings& GetSettings() const { return settings_; }
  // The control's shared state: timers' handlers run only while it lives.
  const std::weak_ptr<void>& Guard() const { return guard_; }
  void SetGuard(std::weak_ptr<void> guard) { guard_ = std::move(guard); }

  // The owner, or null once the control is gone.
  H245Control::Owner* GetOwner() const { return owner_; }
  void Detach() { owner_ = nullptr; }

  // Completes the message's mandatory components and hands it to the owner, unless the session
  // has ended.
  void Send(asn::Value message);
  // EndSessionCommand: the last message we send.
  void SendEndSession();
  // The far end ended the session: from now on we send nothing but our own EndSessionCommand.
  void OnRemoteEnd() { remoteEnded_ = true; }
  bool IsEnded() const { return localEnded_ || remoteEnded_ || !owner_; }

  // While held, a request's time for an answer does not run out (see H245Control::HoldTimeouts).
  void HoldTimeouts(bool hold);
  bool AreTimeoutsHeld() const { return timeoutsHeld_; }
  void Register(H245Timer* timer) { timers_.push_back(timer); }
  void Unregister(H245Timer* timer);

  // A procedure failed for good: the owner hears of it once.
  void Fail(const std::string& why);

 private:
  void Deliver(asn::Value message);

  asio::any_io_executor strand_;
  H245Control::Owner* owner_;
  H245Control::Settings settings_;
  std::weak_ptr<void> guard_;
  bool localEnded_ = false;
  bool remoteEnded_ = false;
  bool failed_ = false;
  bool timeoutsHeld_ = false;
  std::vector<H245Timer*> timers_;
};

}  // namespace vantro::h245
