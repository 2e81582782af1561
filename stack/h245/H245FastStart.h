#pragma once
// Fast start (H.323 section 8.1.7): the caller proposes channels in Setup as encoded
// OpenLogicalChannel values; the callee picks from them and returns its choice in Call Proceeding,
// Alerting, Progress, Facility or Connect. Media may flow as soon as the choice is known.
//
// A proposal we transmit on carries forwardLogicalChannelParameters with the audio we send and our
// RTCP address; a proposal we receive on carries nullData forward and reverseLogicalChannelParameters
// with the audio we take and our RTP and RTCP addresses.

#include "stack/asn/H323Values.h"
#include "stack/asn/Value.h"
#include "stack/endpoint/H323Capabilities.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace vantro::h245 {

using Octets = std::vector<std::uint8_t>;

struct FastStartLocal {
  unsigned sessionID = 1;
  asn::Ipv4Address media;    // our RTP
  asn::Ipv4Address control;  // our RTCP
};

// One channel of a fast start choice, as either side sees it.
struct FastStartChannel {
  unsigned number = 0;
  bool weTransmit = false;
  std::shared_ptr<const endpoint::H323Capability> capability;  // ours
  asn::Value audioCapability;                                  // as the proposal or answer carried it
  std::optional<asn::Ipv4Address> remoteMedia;                 // where we send RTP (transmit)
  std::optional<asn::Ipv4Address> remoteControl;               // the far end's RTCP
  std::optional<unsigned> payloadType;
};

// Caller: for each capability in table order, a receive proposal and a transmit proposal (the
// encoded OpenLogicalChannel values of Setup's fastStart). Channel numbers start at firstNumber.
std::vector<Octets> BuildFastStartProposals(const endpoint::H323Capabilities& capabilities, const FastStartLocal& local,
                                            unsigned firstNumber = 1);

// Callee: picks, by our table order, one proposal the caller transmits on (we receive) and one it
// receives on (we transmit) from the Setup's fastStart. The answer holds the encoded
// OpenLogicalChannel values to return and the channels to open; empty when nothing fits (the call
// then goes on with the ordinary H.245 procedures). Our transmit channel keeps the number of the
// caller's receive proposal.
struct FastStartAnswer {
  std::vector<Octets> reply;
  std::vector<FastStartChannel> channels;
};
FastStartAnswer SelectFastStart(const std::vector<Octets>& proposals, const endpoint::H323Capabilities& capabilities,
                                const FastStartLocal& local);

// Caller: the channels the callee chose, read from the fastStart element of its answer, matched
// against our capability table: at most one each way. Malformed elements, channels of formats we
// do not have and a transmit channel without an RTP address are skipped. Peers differ in what they
// echo: an address equal to ours in local (when given) is taken as an echo, not as the far end's.
std::vector<FastStartChannel> ReadFastStartAnswer(const std::vector<Octets>& reply,
                                                  const endpoint::H323Capabilities& capabilities,
                                                  const std::optional<FastStartLocal>& local = std::nullopt);

}  // namespace vantro::h245
