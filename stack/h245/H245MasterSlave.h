#pragma once
// Master/slave determination: terminal types first, then the 24-bit status determination numbers
// compared modulo 2^24; an indeterminate result (equal numbers, or numbers 2^23 apart) is retried
// with a new number up to the retry limit. Every state waits on one timer for the far end's next
// message; a timeout, a reject without retries left or a release ends in failure.

#include "stack/asn/Value.h"
#include "stack/h245/H245Link.h"
#include "stack/h245/H245Timer.h"

#include <cstdint>
#include <optional>
#include <random>

namespace vantro::h245 {

class H245MasterSlave {
 public:
  explicit H245MasterSlave(H245Link& link);

  // Starts a determination unless one runs or the status is known.
  void Start();
  void Stop() { timer_.Cancel(); }
  // Forgets the status (the far end resumed after an empty capability set).
  void Reset();

  // The far end's messages. OnAck returns true when the status has just been determined.
  void OnRequest(const asn::Value& request);
  bool OnAck(const asn::Value& ack);
  void OnReject();
  void OnRelease();

  bool IsDetermined() const { return master_.has_value(); }
  bool IsMaster() const { return master_.value_or(false); }

  enum class Result { Master, Slave, Indeterminate };
  // Our status against the far end's terminal type and number.
  static Result Decide(unsigned ourType, std::uint32_t ourNumber, unsigned theirType, std::uint32_t theirNumber);

 private:
  enum class State { Idle, Outgoing, Incoming };

  std::uint32_t NewNumber();
  void SendRequest();
  void SendAck(bool weAreMaster);
  void Retry(const char* why);
  void Finish(const std::string& failure);
  void OnTimeout();

  H245Link& link_;
  H245Timer timer_;
  std::mt19937 random_;
  State state_ = State::Idle;
  std::uint32_t number_ = 0;
  int tries_ = 0;
  bool pending_ = false;        // our status as answered in the Incoming state
  std::optional<bool> master_;  // the determined status
};

}  // namespace vantro::h245
