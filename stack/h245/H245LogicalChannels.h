#pragma once
// Logical channel signalling of unidirectional audio channels: ours (OpenLogicalChannel, its Ack or
// Reject, CloseLogicalChannel and its Ack) and the far end's (answered from the owner, closed on its
// word), and RequestChannelClose both ways. Channel numbers of the two directions are separate
// spaces: ours name our transmit channels, the far end's its own.

#include "stack/asn/Value.h"
#include "stack/h245/H245Control.h"
#include "stack/h245/H245Link.h"
#include "stack/h245/H245Timer.h"

#include <map>
#include <memory>
#include <set>
#include <vector>

namespace vantro::h245 {

class H245LogicalChannels {
 public:
  explicit H245LogicalChannels(H245Link& link);

  unsigned Open(const OutgoingChannel& channel);
  void Close(unsigned number);
  void RequestClose(unsigned number);
  // A channel fast start opened, known from now on like the others.
  void AddOpen(unsigned number, bool weTransmit);
  // Closes every channel of ours, the far end having withdrawn its capabilities.
  void CloseAllOurs();
  void Stop();

  void OnOpen(const asn::Value& request, bool isMaster);
  void OnOpenAck(const asn::Value& ack);
  void OnOpenReject(const asn::Value& reject);
  void OnClose(const asn::Value& request);
  void OnCloseAck(const asn::Value& ack);
  void OnRequestClose(const asn::Value& request);
  void OnRequestCloseAnswer(const asn::Value& answer, bool accepted);

  std::size_t OurCount() const { return ours_.size(); }
  std::size_t TheirCount() const { return theirs_.size(); }

 private:
  enum class State { Opening, Open, Closing };
  struct Ours {
    State state = State::Opening;
    bool closeReported = false;
    std::unique_ptr<H245Timer> timer;
  };

  unsigned NextNumber();
  void SendClose(unsigned number, Ours& channel, bool byRemote);
  void Reject(unsigned number, std::uint16_t cause);

  H245Link& link_;
  unsigned next_ = 1;
  std::map<unsigned, Ours> ours_;
  std::set<unsigned> theirs_;                                     // the far end's open channels
  std::map<unsigned, std::unique_ptr<H245Timer>> closeRequests_;  // our RequestChannelClose, by number
};

}  // namespace vantro::h245
