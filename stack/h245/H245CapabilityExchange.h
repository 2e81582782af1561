#pragma once
// Capability exchange: our TerminalCapabilitySet (built from the capability table) with its
// sequence number and answer timer, and the far end's sets, merged as H.245 says (an entry without
// a capability or a descriptor without sets deletes it; an empty set withdraws everything),
// acknowledged or rejected.

#include "stack/asn/Value.h"
#include "stack/h245/H245Control.h"
#include "stack/h245/H245Link.h"
#include "stack/h245/H245Timer.h"

#include <cstdint>
#include <map>
#include <vector>

namespace vantro::h245 {

class H245CapabilityExchange {
 public:
  // Most capability table entries we keep of a far end (H.245's tableEntryCapacityExceeded).
  static constexpr std::size_t kMaxRemoteEntries = 256;

  explicit H245CapabilityExchange(H245Link& link);

  // Our TerminalCapabilitySet as the table gives it; sequenceNumber as given.
  static asn::Value BuildOurs(const endpoint::H323Capabilities& capabilities, unsigned sequenceNumber);

  // Sends our set with the next sequence number and waits for its answer.
  void SendOurs();
  bool IsOursAcknowledged() const { return acknowledged_; }
  bool IsOursPending() const { return timer_.IsRunning(); }
  void Stop() { timer_.Cancel(); }

  // A TerminalCapabilitySet of the far end: answered with Ack or Reject.
  enum class Outcome { Rejected, Accepted, Emptied };
  Outcome OnSet(const asn::Value& set);
  // Answers to our set; false when the answer is not for our outstanding set.
  bool OnAck(const asn::Value& ack);
  void OnReject(const asn::Value& reject);

  // The far end's capabilities: null until a set was accepted; empty after an empty set.
  const RemoteCapabilities* Theirs() const { return received_ ? &theirs_ : nullptr; }
  bool HasTheirs() const { return received_ && !theirs_.empty; }

 private:
  void Answer(bool accept, unsigned sequenceNumber, std::uint16_t cause = 0);
  void Snapshot();

  H245Link& link_;
  H245Timer timer_;
  unsigned sequenceNumber_ = 0;
  bool acknowledged_ = false;

  bool received_ = false;
  std::map<unsigned, asn::Value> table_;                                // entry number -> Capability
  std::map<unsigned, std::vector<std::vector<unsigned>>> descriptors_;  // number -> sets -> entries
  RemoteCapabilities theirs_;
};

}  // namespace vantro::h245
