#pragma once
// Realistic messages of every kind the stack sends or receives, built the way the stack's own
// RAS client, call signalling and H.245 code will build them. Shared by the codec tests, the tshark
// checks and the benchmarks.

#include "stack/asn/Value.h"
#include "stack/q931/Q931Message.h"

#include <string>
#include <vector>

namespace vantro::test {

using asn::Value;

// The addresses of the sample endpoint and gatekeeper (all on the loopback).
inline constexpr unsigned kGatekeeperRasPort = 1719;
inline constexpr unsigned kEndpointRasPort = 5001;
inline constexpr unsigned kEndpointSignalPort = 1720;
inline constexpr const char* kGatekeeperId = "VantroGK";
inline constexpr const char* kEndpointId = "ep-0001";
inline constexpr const char* kAliasNumber = "5550100";
inline constexpr const char* kAliasName = "vantro user";

struct SampleMessage {
  std::string name;  // the alternative tshark names, e.g. "registrationRequest"
  Value value;
};

// RAS: GRQ/GCF/GRJ, RRQ (full, lightweight)/RCF/RRJ, URQ/UCF, ARQ/ACF/ARJ, DRQ/DCF, IRQ/IRR, RIP.
std::vector<SampleMessage> rasMessages();
Value rrqFull(unsigned seq);

// H.245: TerminalCapabilitySet and its Ack, MasterSlaveDetermination and its Ack,
// OpenLogicalChannel and its Ack, CloseLogicalChannel, UserInputIndication (alphanumeric,
// signal), EndSessionCommand, RoundTripDelay request and response.
std::vector<SampleMessage> h245Messages();
Value terminalCapabilitySet();
Value openLogicalChannel(unsigned channel, unsigned sessionId, unsigned mediaPort, bool g711);

// H323-UserInformation of Setup (two fastStart proposals, tunnelled H.245), Call Proceeding,
// Alerting, Connect, Release Complete, Facility and Progress, with the Q.931 message type of each.
struct SampleSignal {
  std::string name;  // the h323-message-body alternative
  std::uint8_t q931Type;
  Value uu;
};
std::vector<SampleSignal> signallingMessages();
Value setupWithFastStart();

// The Q.931 message carrying a sample's H323-UserInformation.
q931::Q931Message q931For(const SampleSignal& s, std::uint16_t callReference);

}  // namespace vantro::test
