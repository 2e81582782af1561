#include "stack/ras/H323GatekeeperMessages.h"

#include "stack/asn/Defaults.h"
#include "stack/asn/generated/H225.h"

#include <algorithm>

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

// A confirm or reject: the request's sequence number, and the reason of a reject.
Value answer(std::uint16_t kind, unsigned seq, std::optional<std::uint16_t> rejectReason) {
  Value* b;
  Value msg = message(kind, &b);
  b->field(static_cast<std::uint16_t>(b->indexOf("requestSeqNum"))).setInteger(seq);
  if (rejectReason) b->field(static_cast<std::uint16_t>(b->indexOf("rejectReason"))).select(*rejectReason);
  return msg;
}

void callIdentifier(Value& id, const std::string& guid) { id.field(h225::CallIdentifier::guid).setBytes(guid); }

void aliases(Value& list, const std::string& alias) {
  if (!alias.empty()) asn::setAlias(list.append(), alias);
}

// The call's entry in an information response.
void perCallInfo(Value& item, const CallInfo& call) {
  using P = h225::InfoRequestResponse_perCallInfo_item;
  item.field(P::callReferenceValue).setInteger(call.callReference);
  item.field(P::conferenceID).setBytes(call.conferenceID);
  item.field(P::originator).setBoolean(!call.answerCall);
  Value& signalling = item.field(P::callSignaling);
  if (call.localCallSignalAddress)
    asn::setIpv4(signalling.field(h225::TransportChannelInfo::recvAddress), *call.localCallSignalAddress);
  if (call.remoteCallSignalAddress)
    asn::setIpv4(signalling.field(h225::TransportChannelInfo::sendAddress), *call.remoteCallSignalAddress);
  item.field(P::h245);
  item.field(P::callType).select(h225::CallType::pointToPoint);
  item.field(P::bandWidth).setInteger(call.bandwidth);
  item.field(P::callModel).select(call.gatekeeperRouted ? h225::CallModel::gatekeeperRouted : h225::CallModel::direct);
  callIdentifier(item.field(P::callIdentifier), call.callIdentifier);
  item.field(P::substituteConfIDs);
  asn::completeMandatory(item);
}

// The information response every kind shares: who we are.
Value infoRequestResponse(unsigned seq, const EndpointInfo& info, Value** body) {
  using I = h225::InfoRequestResponse;
  Value msg = message(h225::RasMessage::infoRequestResponse, body);
  Value* b = *body;
  b->field(I::requestSeqNum).setInteger(seq);
  endpointType(b->field(I::endpointType));
  b->field(I::endpointIdentifier).setText(info.endpointId.empty() ? std::string("-") : info.endpointId);
  asn::setIpv4(b->field(I::rasAddress), info.rasAddress);
  asn::setIpv4(b->field(I::callSignalAddress).append(), info.callSignalAddress);
  aliases(b->field(I::endpointAlias), info.alias);
  b->field(I::needResponse).setBoolean(false);
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
  return answer(h225::RasMessage::unregistrationConfirm, seq, std::nullopt);
}

Value MakeUnregistrationReject(unsigned seq, std::uint16_t reason) {
  return answer(h225::RasMessage::unregistrationReject, seq, reason);
}

Value MakeAdmissionRequest(unsigned seq, const EndpointInfo& info, const CallInfo& call) {
  using A = h225::AdmissionRequest;
  Value* b;
  Value msg = message(h225::RasMessage::admissionRequest, &b);
  b->field(A::requestSeqNum).setInteger(seq);
  b->field(A::callType).select(h225::CallType::pointToPoint);
  b->field(A::endpointIdentifier).setText(info.endpointId);
  if (call.answerCall) {
    // The called party is this endpoint.
    aliases(b->field(A::destinationInfo), call.destinationAlias.empty() ? info.alias : call.destinationAlias);
    asn::setIpv4(b->field(A::destCallSignalAddress), call.destCallSignalAddress.value_or(info.callSignalAddress));
    aliases(b->field(A::srcInfo), call.sourceAlias);
    if (call.srcCallSignalAddress) asn::setIpv4(b->field(A::srcCallSignalAddress), *call.srcCallSignalAddress);
  } else {
    if (!call.destinationAlias.empty()) aliases(b->field(A::destinationInfo), call.destinationAlias);
    if (call.destCallSignalAddress) asn::setIpv4(b->field(A::destCallSignalAddress), *call.destCallSignalAddress);
    aliases(b->field(A::srcInfo), call.sourceAlias.empty() ? info.alias : call.sourceAlias);
  }
  b->field(A::bandWidth).setInteger(call.bandwidth);
  b->field(A::callReferenceValue).setInteger(call.callReference);
  b->field(A::conferenceID).setBytes(call.conferenceID);
  b->field(A::activeMC).setBoolean(false);
  b->field(A::answerCall).setBoolean(call.answerCall);
  b->field(A::canMapAlias).setBoolean(false);
  callIdentifier(b->field(A::callIdentifier), call.callIdentifier);
  if (!info.gatekeeperId.empty()) b->field(A::gatekeeperIdentifier).setText(info.gatekeeperId);
  b->field(A::willSupplyUUIEs).setBoolean(false);
  b->field(A::canMapSrcAlias).setBoolean(false);
  return msg;
}

AdmissionAnswer ReadAdmissionAnswer(const Value& rasMessage) {
  AdmissionAnswer answer;
  const Value& body = rasMessage.alternative();
  if (rasMessage.is(h225::RasMessage::admissionReject)) {
    answer.rejectReason = body[h225::AdmissionReject::rejectReason].choice();
    return answer;
  }
  using C = h225::AdmissionConfirm;
  answer.confirmed = true;
  answer.bandwidth = static_cast<std::uint32_t>(body[C::bandWidth].integer());
  answer.gatekeeperRouted = body[C::callModel].choice() == h225::CallModel::gatekeeperRouted;
  answer.destCallSignalAddress = asn::ipv4(body[C::destCallSignalAddress]);
  if (const Value* destinations = body.get(C::destinationInfo))
    for (const Value& alias : destinations->elements())
      if (std::string text = asn::aliasText(alias); !text.empty()) answer.destinationAliases.push_back(std::move(text));
  if (const Value* irr = body.get(C::irrFrequency)) answer.irrFrequency = static_cast<std::uint32_t>(irr->integer());
  return answer;
}

Value MakeDisengageRequest(unsigned seq, const EndpointInfo& info, const CallInfo& call, std::uint16_t reason) {
  using D = h225::DisengageRequest;
  Value* b;
  Value msg = message(h225::RasMessage::disengageRequest, &b);
  b->field(D::requestSeqNum).setInteger(seq);
  b->field(D::endpointIdentifier).setText(info.endpointId);
  b->field(D::conferenceID).setBytes(call.conferenceID);
  b->field(D::callReferenceValue).setInteger(call.callReference);
  b->field(D::disengageReason).select(reason);
  callIdentifier(b->field(D::callIdentifier), call.callIdentifier);
  if (!info.gatekeeperId.empty()) b->field(D::gatekeeperIdentifier).setText(info.gatekeeperId);
  b->field(D::answeredCall).setBoolean(call.answerCall);
  if (call.releaseCause) {
    // The contents of the Q.931 cause element: ITU-T coding, location user, the cause value.
    const char cause[] = {'\x80', static_cast<char>(0x80 | (*call.releaseCause & 0x7f))};
    b->field(D::terminationCause)
        .select(h225::CallTerminationCause::releaseCompleteCauseIE)
        .setBytes(std::string_view(cause, sizeof cause));
  }
  return msg;
}

Value MakeDisengageConfirm(unsigned seq) { return answer(h225::RasMessage::disengageConfirm, seq, std::nullopt); }

Value MakeDisengageReject(unsigned seq, std::uint16_t reason) {
  return answer(h225::RasMessage::disengageReject, seq, reason);
}

Value MakeInfoRequestResponse(const Value& irq, const EndpointInfo& info, const std::vector<CallInfo>& calls) {
  using I = h225::InfoRequestResponse;
  using Q = h225::InfoRequest;
  Value* b;
  Value msg = infoRequestResponse(static_cast<unsigned>(irq[Q::requestSeqNum].integer()), info, &b);
  const auto reference = irq[Q::callReferenceValue].integer();
  const Value* id = irq.get(Q::callIdentifier);
  const std::string guid = id ? (*id)[h225::CallIdentifier::guid].bytes() : std::string();
  // A call identifier of zeros names no call: the call reference decides then.
  const bool byIdentifier = std::any_of(guid.begin(), guid.end(), [](char c) { return c != 0; });
  const bool all = reference == 0 && !byIdentifier;
  std::size_t reported = 0;
  for (const CallInfo& call : calls) {
    const bool asked = all || (byIdentifier ? call.callIdentifier == guid : call.callReference == reference);
    if (!asked) continue;
    perCallInfo(b->field(I::perCallInfo).append(), call);
    ++reported;
  }
  if (!all && reported == 0)
    b->field(I::irrStatus).select(h225::InfoRequestResponseStatus::invalidCall);
  else
    b->field(I::irrStatus).select(h225::InfoRequestResponseStatus::complete);
  b->field(I::unsolicited).setBoolean(false);
  return msg;
}

Value MakeUnsolicitedInfoRequestResponse(unsigned seq, const EndpointInfo& info, const CallInfo& call) {
  using I = h225::InfoRequestResponse;
  Value* b;
  Value msg = infoRequestResponse(seq, info, &b);
  perCallInfo(b->field(I::perCallInfo).append(), call);
  b->field(I::unsolicited).setBoolean(true);
  return msg;
}

}  // namespace vantro::ras
