#pragma once
// Builds the call signalling messages of one call: the Q.931 frame (call reference and its flag,
// the information elements peers expect) and the UUIE with the fields gatekeepers and gateways
// look for. What varies within a call (fast start elements, the H.245 address, tunnelled H.245)
// is added to the message afterwards through H225Message.

#include "stack/asn/H323Values.h"
#include "stack/h225/H225Message.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vantro::h225 {

class H225MessageBuilder {
 public:
  struct CallIds {
    std::uint16_t callReference = 0;
    bool originating = true;   // we allocated the call reference (our messages carry flag 0)
    std::string callIdentifier;  // 16 octets
    std::string conferenceID;    // 16 octets
  };

  // What Setup says about both parties.
  struct SetupFields {
    std::string sourceAlias;          // our user name; empty: none
    std::string endpointIdentifier;   // given by the gatekeeper at registration; empty: none
    std::string destinationAlias;     // the called party; empty: none (a bare address)
    std::optional<asn::Ipv4Address> destCallSignalAddress;
    std::optional<asn::Ipv4Address> sourceCallSignalAddress;
  };

  // Q.931 call states the Status message reports.
  enum CallState : std::uint8_t {
    Null = 0, CallInitiated = 1, OutgoingCallProceeding = 3, CallDelivered = 4, CallPresent = 6,
    CallReceived = 7, ConnectRequest = 8, IncomingCallProceeding = 9, Active = 10,
  };

  explicit H225MessageBuilder(CallIds ids) : ids_(std::move(ids)) {}
  void SetTunnelling(bool tunnelling) { tunnelling_ = tunnelling; }
  bool Tunnelling() const { return tunnelling_; }
  const CallIds& Ids() const { return ids_; }

  H225Message Setup(const SetupFields& fields) const;
  H225Message CallProceeding() const;
  H225Message Alerting() const;
  H225Message Connect() const;
  // reason: a ReleaseCompleteReason alternative, or none; cause: the Q.931 cause value.
  H225Message ReleaseComplete(std::optional<std::uint16_t> reason, std::uint8_t cause) const;
  // reason: a FacilityReason alternative.
  H225Message Facility(std::uint16_t reason) const;
  // A Facility whose body is empty: the carrier of tunnelled H.245 when nothing else goes.
  H225Message H245Carrier() const;
  H225Message StatusEnquiry() const;
  // The answer to a Status Enquiry (cause 30) or to a message we cannot take in our state (98).
  H225Message Status(CallState state, std::uint8_t cause) const;

 private:
  H225Message Make(std::uint8_t q931Type, std::uint16_t body) const;
  void SetCallIdentifier(H225Message& m) const;

  CallIds ids_;
  bool tunnelling_ = true;
};

}  // namespace vantro::h225
