#pragma once
// What the endpoint's callbacks tell vantro-call's main thread about a call, and the signals that
// interrupt it. Made on the stack's threads, read on the main thread: plain values only.

#include "stack/endpoint/H323Channel.h"
#include "stack/h225/H323CallEndReasons.h"
#include "stack/h225/H323ConnectionHost.h"

#include <chrono>
#include <optional>
#include <string>

namespace vantro::tool {

// One channel of a call's media as last seen.
struct MediaSnapshot {
  unsigned channel = 0;  // its logical channel number
  std::string format;
  endpoint::ChannelStatistics statistics;
};

struct ToolEvent {
  enum class Kind {
    Step,           // a step of a call (step, detail); at Clearing with the media's last figures
    Incoming,       // an incoming call asks to be answered (remote*)
    UserInput,      // keys from the far end (detail)
    ChannelClosed,  // a channel closed (replaced, or at the end of the call): its last figures
    Cleared,        // the call is over (endReason, q931Cause, established)
    Signal,         // SIGINT or SIGTERM (detail: its name)
  };

  Kind kind = Kind::Step;
  std::chrono::steady_clock::time_point at = std::chrono::steady_clock::now();
  std::string token;
  endpoint::H323ConnectionHost::CallEvent step = endpoint::H323ConnectionHost::CallEvent::Cleared;
  std::string detail;

  std::string remoteName;
  std::string remoteNumber;
  std::string remoteAddress;

  std::optional<MediaSnapshot> transmit;
  std::optional<MediaSnapshot> receive;

  endpoint::H323CallEndReasons::CallEndReason endReason = endpoint::H323CallEndReasons::NumCallEndReasons;
  std::optional<unsigned> q931Cause;
  bool established = false;
};

}  // namespace vantro::tool
