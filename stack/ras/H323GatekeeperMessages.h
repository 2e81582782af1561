#pragma once
// The RAS messages an endpoint sends to its gatekeeper, as values ready for their tokens.

#include "stack/asn/H323Values.h"
#include "stack/asn/Value.h"

#include <cstdint>
#include <optional>
#include <string>

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
// The answer to an InfoRequest: who we are; there are no calls to report.
asn::Value MakeInfoRequestResponse(const asn::Value& irq, const EndpointInfo& info);

}  // namespace vantro::ras
