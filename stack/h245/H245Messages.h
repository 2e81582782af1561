#pragma once
// Building blocks of the H.245 messages the control and fast start exchange: the message frame,
// H.225.0 logical channel parameters (session, RTP and RTCP addresses, payload type) both ways, and
// the audio inside a DataType.

#include "stack/asn/H323Values.h"
#include "stack/asn/Value.h"
#include "stack/asn/generated/H245.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vantro::h245 {

// Short names of the generated types every procedure (and its tests) spells out.
namespace names {
using MSCM = asn::h245::MultimediaSystemControlMessage;
using Request = asn::h245::RequestMessage;
using Response = asn::h245::ResponseMessage;
using Command = asn::h245::CommandMessage;
using Indication = asn::h245::IndicationMessage;
using OLC = asn::h245::OpenLogicalChannel;
using Forward = asn::h245::OpenLogicalChannel_forwardLogicalChannelParameters;
using ForwardMultiplex = asn::h245::OpenLogicalChannel_forwardLogicalChannelParameters_multiplexParameters;
using Reverse = asn::h245::OpenLogicalChannel_reverseLogicalChannelParameters;
using ReverseMultiplex = asn::h245::OpenLogicalChannel_reverseLogicalChannelParameters_multiplexParameters;
}  // namespace names

// A MultimediaSystemControlMessage: kind is request, response, command or indication, alternative
// the message within it. MessageBody gives the message to fill.
asn::Value NewMessage(std::uint16_t kind, std::uint16_t alternative);
asn::Value& MessageBody(asn::Value& message);

// What H2250LogicalChannelParameters or H2250LogicalChannelAckParameters carry for audio.
struct MediaParameters {
  unsigned sessionID = 0;
  std::optional<asn::Ipv4Address> media;    // mediaChannel (RTP)
  std::optional<asn::Ipv4Address> control;  // mediaControlChannel (RTCP)
  std::optional<unsigned> payloadType;      // dynamicRTPPayloadType
};

// Fills an H2250LogicalChannelParameters value as real peers send it: the session, the addresses
// given, no guaranteed delivery and no silence suppression.
void FillH2250(asn::Value& parameters, const MediaParameters& media);
// Reads H2250LogicalChannelParameters or H2250LogicalChannelAckParameters; addresses that are no
// IPv4 unicast addresses are left out.
MediaParameters ReadH2250(const asn::Value& parameters);

// The AudioCapability a DataType carries, or null for any other data type.
const asn::Value* AudioOf(const asn::Value& dataType);

// A short name of a message for the log: "request.openLogicalChannel".
std::string MessageName(const asn::Value& message);

}  // namespace vantro::h245
