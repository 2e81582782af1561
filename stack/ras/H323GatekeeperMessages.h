#pragma once
// The RAS messages an endpoint sends to its gatekeeper, as values ready for their tokens, and the
// readers of the gatekeeper's answers that carry more than a yes or no.

#include "stack/asn/H323Values.h"
#include "stack/asn/Value.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantro::ras {

// What the endpoint says about itself.
struct EndpointInfo {
  asn::Ipv4Address rasAddress;         // our RAS socket, as the gatekeeper reaches it
  asn::Ipv4Address callSignalAddress;  // our call signalling listener
  std::string alias;                   // empty: none (the gatekeeper may assign one)
  std::string gatekeeperId;            // the gatekeeper's identifier, once known
  std::string endpointId;              // ours, once registered
  std::uint32_t timeToLive = 0;        // seconds; 0: none asked for
};

// What the gatekeeper is told about one call (ARQ, DRQ, and the perCallInfo of an IRR).
struct CallInfo {
  std::uint16_t callReference = 0;
  std::string callIdentifier;                             // 16 octets (CallIdentifier.guid)
  std::string conferenceID;                               // 16 octets
  bool answerCall = false;                                // we are the callee
  std::string destinationAlias;                           // the called party ("" when none)
  std::optional<asn::Ipv4Address> destCallSignalAddress;  // the called address, when calling one
  std::string sourceAlias;                                // the caller's alias (incoming calls)
  std::optional<asn::Ipv4Address> srcCallSignalAddress;   // the caller's address (incoming calls)
  std::uint32_t bandwidth = 1280;                         // units of 100 bit/s, both directions
  // For IRR: the far end's call signalling address and our own, once connected.
  std::optional<asn::Ipv4Address> remoteCallSignalAddress;
  std::optional<asn::Ipv4Address> localCallSignalAddress;
  bool gatekeeperRouted = false;
  // For DRQ: the Q.931 cause value of the Release Complete that ended the call, when there was one.
  std::optional<std::uint8_t> releaseCause;
};

// What an admission answer said.
struct AdmissionAnswer {
  bool confirmed = false;
  std::uint16_t rejectReason = 0;                         // ARJ: an AdmissionRejectReason alternative
  std::optional<asn::Ipv4Address> destCallSignalAddress;  // ACF: where Setup goes
  bool gatekeeperRouted = false;                          // ACF callModel
  std::uint32_t bandwidth = 0;
  std::vector<std::string> destinationAliases;  // ACF destinationInfo
  std::optional<std::uint32_t> irrFrequency;    // seconds, when the gatekeeper wants IRRs
};

// The vendor block of terminalType and endpointVendor.
void SetVendor(asn::Value& vendorIdentifier);

asn::Value MakeGatekeeperRequest(unsigned seq, const EndpointInfo& info);
// A full registration (keepAlive FALSE, with the alias) or the lightweight keep-alive (keepAlive
// TRUE with the endpoint and gatekeeper identifiers).
asn::Value MakeRegistrationRequest(unsigned seq, const EndpointInfo& info, bool keepAlive);
// reason: an UnregRequestReason alternative, or nullopt for none.
asn::Value MakeUnregistrationRequest(unsigned seq, const EndpointInfo& info, std::optional<std::uint16_t> reason);
asn::Value MakeUnregistrationConfirm(unsigned seq);
asn::Value MakeUnregistrationReject(unsigned seq, std::uint16_t reason);

// Admission of a call: the caller names the called party (alias, address or both), the callee the
// caller; either way srcInfo carries the caller's alias (ours when calling).
asn::Value MakeAdmissionRequest(unsigned seq, const EndpointInfo& info, const CallInfo& call);
// Reads an AdmissionConfirm or AdmissionReject RasMessage.
AdmissionAnswer ReadAdmissionAnswer(const asn::Value& rasMessage);

// reason: a DisengageReason alternative.
asn::Value MakeDisengageRequest(unsigned seq, const EndpointInfo& info, const CallInfo& call, std::uint16_t reason);
asn::Value MakeDisengageConfirm(unsigned seq);
asn::Value MakeDisengageReject(unsigned seq, std::uint16_t reason);

// The answer to an InfoRequest: who we are, and the calls it asks about (all of them, or the one
// its call reference or call identifier names; irrStatus invalidCall when there is no such call).
asn::Value MakeInfoRequestResponse(const asn::Value& irq, const EndpointInfo& info, const std::vector<CallInfo>& calls);
// An unsolicited report on one call, as the admission's irrFrequency asks for.
asn::Value MakeUnsolicitedInfoRequestResponse(unsigned seq, const EndpointInfo& info, const CallInfo& call);

}  // namespace vantro::ras
