#include "stack/h245/H245Messages.h"

#include "stack/asn/generated/H245.h"

namespace vantro::h245 {

namespace h245 = asn::h245;
using Params = h245::H2250LogicalChannelParameters;
using AckParams = h245::H2250LogicalChannelAckParameters;

asn::Value NewMessage(std::uint16_t kind, std::uint16_t alternative) {
  asn::Value message(h245::MultimediaSystemControlMessage::Id);
  message.select(kind).select(alternative);
  return message;
}

asn::Value& MessageBody(asn::Value& message) { return message.alternative().alternative(); }

void FillH2250(asn::Value& parameters, const MediaParameters& media) {
  parameters.field(Params::sessionID).setInteger(media.sessionID);
  if (media.media) asn::setIpv4(parameters.field(Params::mediaChannel), *media.media);
  parameters.field(Params::mediaGuaranteedDelivery).setBoolean(false);
  if (media.control) asn::setIpv4(parameters.field(Params::mediaControlChannel), *media.control);
  parameters.field(Params::silenceSuppression).setBoolean(false);
  if (media.payloadType) parameters.field(Params::dynamicRTPPayloadType).setInteger(*media.payloadType);
}

MediaParameters ReadH2250(const asn::Value& parameters) {
  const bool ack = parameters.type() == AckParams::Id;
  using Index = std::uint16_t;
  const Index session = ack ? Index{AckParams::sessionID} : Index{Params::sessionID};
  const Index media = ack ? Index{AckParams::mediaChannel} : Index{Params::mediaChannel};
  const Index control = ack ? Index{AckParams::mediaControlChannel} : Index{Params::mediaControlChannel};
  const Index payload = ack ? Index{AckParams::dynamicRTPPayloadType} : Index{Params::dynamicRTPPayloadType};
  MediaParameters out;
  if (const asn::Value* v = parameters.get(session)) out.sessionID = static_cast<unsigned>(v->integer());
  if (const asn::Value* v = parameters.get(media)) out.media = asn::ipv4(*v);
  if (const asn::Value* v = parameters.get(control)) out.control = asn::ipv4(*v);
  if (const asn::Value* v = parameters.get(payload)) out.payloadType = static_cast<unsigned>(v->integer());
  return out;
}

const asn::Value* AudioOf(const asn::Value& dataType) {
  return dataType.is(h245::DataType::audioData) ? &dataType.alternative() : nullptr;
}

std::string MessageName(const asn::Value& message) {
  if (message.type() != h245::MultimediaSystemControlMessage::Id || message.isUnknownAlternative() ||
      !message.is(message.choice()))
    return "unknown message";
  const asn::Value& kind = message.alternative();
  std::string name = asn::fieldDesc(message.desc(), message.choice()).name;
  if (kind.isUnknownAlternative() || !kind.is(kind.choice())) return name + ".(unknown)";
  return name + "." + asn::fieldDesc(kind.desc(), kind.choice()).name;
}

}  // namespace vantro::h245
