#include "stack/h245/H245Link.h"

#include "runtime/PTrace.h"
#include "stack/asn/Defaults.h"
#include "stack/asn/Text.h"
#include "stack/asn/generated/H245.h"
#include "stack/h245/H245Timer.h"

#include <algorithm>

namespace vantro::h245 {

namespace h245 = asn::h245;

H245Link::H245Link(asio::any_io_executor strand, H245Control::Owner& owner, H245Control::Settings settings)
    : strand_(std::move(strand)), owner_(&owner), settings_(std::move(settings)) {}

void H245Link::Send(asn::Value message) {
  if (IsEnded()) {
    PTRACE(4, "H245", "session ended, not sending " << asn::ToText(message));
    return;
  }
  Deliver(std::move(message));
}

void H245Link::SendEndSession() {
  if (localEnded_ || !owner_) return;
  asn::Value message(h245::MultimediaSystemControlMessage::Id);
  message.Select(h245::MultimediaSystemControlMessage::command)
      .Select(h245::CommandMessage::endSessionCommand)
      .Select(h245::EndSessionCommand::disconnect);
  localEnded_ = true;
  Deliver(std::move(message));
}

void H245Link::Deliver(asn::Value message) {
  asn::CompleteMandatory(message);
  PTRACE(4, "H245", "send " << asn::ToText(message));
  owner_->SendMessage(message);
}

void H245Link::HoldTimeouts(bool hold) {
  timeoutsHeld_ = hold;
  if (hold) return;
  // A released timer may start others or end the control's procedures: walk a copy.
  const std::vector<H245Timer*> timers = timers_;
  for (H245Timer* t : timers)
    if (std::find(timers_.begin(), timers_.end(), t) != timers_.end()) t->Release();
}

void H245Link::Unregister(H245Timer* timer) { std::erase(timers_, timer); }

void H245Link::Fail(const std::string& why) {
  PTRACE(2, "H245", "failed: " << why);
  if (failed_ || IsEnded()) return;
  failed_ = true;
  owner_->OnFailure(why);
}

}  // namespace vantro::h245
