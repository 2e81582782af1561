#include "stack/ras/H323GatekeeperMessages.h"

#include "stack/asn/Defaults.h"
#include "stack/asn/generated/H225.h"

namespace vantro::ras {

using asn::Value;
namespace h225 = asn::h225;

namespace {

void endpointType(Value& type) {
  SetVendor(type.field(h225::EndpointType::vendor));
  type.field(h225::EndpointType::terminal);
  type.field(h225::EndpointType::mc).setBoolean(false);
  type.field(h225::EndpointType::undefinedNode).setBoolean(false);
  asn::completeMandatory(type);
}

Value message(std::uint16_t kind, Value** body) {
  Value msg(h225::RasMessage::Id);
  *body = &msg.select(kind);
  return msg;
}

}  // namespace

void SetVendor(Value& vendorIdentifier) {
  Value& t35 = vendorIdentifier.field(h225::VendorIdentifier::vendor);
  t35.field(h225::H221NonStandard::t35CountryCode).setInteger(9);
  t35.field(h225::H221NonStandard::t35Extension).setInteger(0);
  t35.field(h225::H221NonStandard::manufacturerCode).setInteger(0x5644);
  vendorIdentifier.field(h225::VendorIdentifier::productId).setBytes("Vantro Dialer");
  vendorIdentifier.field(h225::VendorIdentifier::versionId).setBytes("1.0");
}

Value MakeGatekeeperRequest(unsigned seq, const EndpointInfo& info) {
  using G = h225::GatekeeperRequest;
  Value* b;
  Value msg = message(h225::RasMessage::gatekeeperRequest, &b);
  b->field(G::requestSeqNum).setInteger(seq);
  b->field(G::protocolIdentifier).setOid(asn::kH225ProtocolIdentifier);
  asn::setIpv4(b->field(G::rasAddress), info.rasAddress);
  endpointType(b->field(G::endpointType));
  if (!info.gatekeeperId.empty()) b->field(G::gatekeeperIdentifier).setText(info.gatekeeperId);
  if (!info.alias.empty()) asn::setAlias(b->field(G::endpointAlias).append(), info.alias);
  b->field(G::supportsAssignedGK).setBoolean(false);
  return msg;
}

Value MakeRegistrationRequest(unsigned seq, const EndpointInfo& info, bool keepAlive) {
  using R = h225::RegistrationRequest;
  Value* b;
  Value msg = message(h225::RasMessage::registrationRequest, &b);
  b->field(R::requestSeqNum).setInteger(seq);
  b->field(R::protocolIdentifier).setOid(asn::kH225ProtocolIdentifier);
  b->field(R::discoveryComplete).setBoolean(true);  // registration always follows discovery here
  asn::setIpv4(b->field(R::callSignalAddress).append(), info.callSignalAddress);
  asn::setIpv4(b->field(R::rasAddress).append(), info.rasAddress);
  endpointType(b->field(R::terminalType));
  if (!keepAlive && !info.alias.empty()) asn::setAlias(b->field(R::terminalAlias).append(), info.alias);
  if (!info.gatekeeperId.empty()) b->field(R::gatekeeperIdentifier).setText(info.gatekeeperId);
  SetVendor(b->field(R::endpointVendor));
  if (info.timeToLive) b->field(R::timeToLive).setInteger(info.timeToLive);
  b->field(R::keepAlive).setBoolean(keepAlive);
  if (keepAlive && !info.endpointId.empty()) b->field(R::endpointIdentifier).setText(info.endpointId);
  b->field(R::willSupplyUUIEs).setBoolean(false);
  b->field(R::maintainConnection).setBoolean(false);
  b->field(R::supportsAssignedGK).setBoolean(false);
  return msg;
}

Value MakeUnregistrationRequest(unsigned seq, const EndpointInfo& info, std::optional<std::uint16_t> reason) {
  using U = h225::UnregistrationRequest;
  Value* b;
  Value msg = message(h225::RasMessage::unregistrationRequest, &b);
  b->field(U::requestSeqNum).setInteger(seq);
  asn::setIpv4(b->field(U::callSignalAddress).append(), info.callSignalAddress);
  if (!info.alias.empty()) asn::setAlias(b->field(U::endpointAlias).append(), info.alias);
  if (!info.endpointId.empty()) b->field(U::endpointIdentifier).setText(info.endpointId);
  if (!info.gatekeeperId.empty()) b->field(U::gatekeeperIdentifier).setText(info.gatekeeperId);
  if (reason) b->field(U::reason).select(*reason);
  return msg;
}

Value MakeUnregistrationConfirm(unsigned seq) {
  Value* b;
  Value msg = message(h225::RasMessage::unregistrationConfirm, &b);
  b->field(h225::UnregistrationConfirm::requestSeqNum).setInteger(seq);
  return msg;
}

Value MakeUnregistrationReject(unsigned seq, std::uint16_t reason) {
  Value* b;
  Value msg = message(h225::RasMessage::unregistrationReject, &b);
  b->field(h225::UnregistrationReject::requestSeqNum).setInteger(seq);
  b->field(h225::UnregistrationReject::rejectReason).select(reason);
  return msg;
}

Value MakeInfoRequestResponse(const Value& irq, const EndpointInfo& info) {
  using I = h225::InfoRequestResponse;
  Value* b;
  Value msg = message(h225::RasMessage::infoRequestResponse, &b);
  b->field(I::requestSeqNum).setInteger(irq[h225::InfoRequest::requestSeqNum].integer());
  endpointType(b->field(I::endpointType));
  b->field(I::endpointIdentifier).setText(info.endpointId.empty() ? std::string("-") : info.endpointId);
  asn::setIpv4(b->field(I::rasAddress), info.rasAddress);
  asn::setIpv4(b->field(I::callSignalAddress).append(), info.callSignalAddress);
  if (!info.alias.empty()) asn::setAlias(b->field(I::endpointAlias).append(), info.alias);
  // A question about a particular call: there is none here.
  if (irq[h225::InfoRequest::callReferenceValue].integer() != 0)
    b->field(I::irrStatus).select(h225::InfoRequestResponseStatus::invalidCall);
  b->field(I::needResponse).setBoolean(false);
  b->field(I::unsolicited).setBoolean(false);
  return msg;
}

}  // namespace vantro::ras
