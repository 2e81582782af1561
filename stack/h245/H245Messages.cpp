#include "stack/h245/H245Messages.h"

#include "stack/asn/generated/H245.h"

namespace vantro::h245 {

namespace h245 = asn::h245;
using Params = h245::H2250LogicalChannelParameters;
using AckParams = h245::H2250LogicalChannelAckParameters;

asn::Value NewMessage(std::uint16_t kind, std::uint16_t alternative) {
  asn::Value message(h245::MultimediaSystemControlMessage::Id);
  message.Select(kind).Select(alternative);
  return message;
}

asn::Value& MessageBody(asn::Value& message) { return message.Alternative().Alternative(); }

void FillH2250(asn::Value& parameters, const MediaParameters& media) {
  parameters.Field(Params::sessionID).SetInteger(media.sessionID);
  if (media.media) asn::SetIpv4(parameters.Field(Params::mediaChannel), *media.media);
  parameters.Field(Params::mediaGuaranteedDelivery).SetBoolean(false);
  if (media.control) asn::SetIpv4(parameters.Field(Params::mediaControlChannel), *media.control);
  parameters.Field(Params::silenceSuppression).SetBoolean(false);
  if (media.payloadType) parameters.Field(Params::dynamicRTPPayloadType).SetInteger(*media.payloadType);
}

MediaParameters ReadH2250(const asn::Value& parameters) {
  const bool ack = parameters.Type() == AckParams::Id;
  using Index = std::uint16_t;
  const Index session = ack ? Index{AckParams::sessionID} : Index{Params::sessionID};
  const Index media = ack ? Index{AckParams::mediaChannel} : Index{Params::mediaChannel};
  const Index control = ack ? Index{AckParams::mediaControlChannel} : Index{Params::mediaControlChannel};
  const Index payload = ack ? Index{AckParams::dynamicRTPPayloadType} : Index{Params::dynamicRTPPayloadType};
  MediaParameters out;
  if (const asn::Value* v = parameters.Get(session)) out.sessionID = static_cast<unsigned>(v->Integer());
  if (const asn::Value* v = parameters.Get(media)) out.media = asn::Ipv4(*v);
  if (const asn::Value* v = parameters.Get(control)) out.control = asn::Ipv4(*v);
  if (const asn::Value* v = parameters.Get(payload)) out.payloadType = static_cast<unsigned>(v->Integer());
  return out;
}

const asn::Value* AudioOf(const asn::Value& dataType) {
  return dataType.Is(h245::DataType::audioData) ? &dataType.Alternative() : nullptr;
}

std::string MessageName(const asn::Value& message) {
  if (message.Type() != h245::MultimediaSystemControlMessage::Id || message.IsUnknownAlternative() ||
      !message.Is(message.Choice()))
    return "unknown message";
  const asn::Value& kind = message.Alternative();
  std::string name = asn::fieldDesc(message.Desc(), message.Choice()).name;
  if (kind.IsUnknownAlternative() || !kind.Is(kind.Choice())) return name + ".(unknown)";
  return name + "." + asn::fieldDesc(kind.Desc(), kind.Choice()).name;
}

}  // namespace vantro::h245
