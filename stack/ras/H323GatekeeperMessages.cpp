#include "stack/ras/H323GatekeeperMessages.h"

#include "stack/asn/Defaults.h"
#include "stack/asn/generated/H225.h"

#include <algorithm>

namespace vantro::ras {

using asn::Value;
namespace h225 = asn::h225;

namespace {

void EndpointType(Value& type) {
  SetVendor(type.Field(h225::EndpointType::vendor));
  type.Field(h225::EndpointType::terminal);
  type.Field(h225::EndpointType::mc).SetBoolean(false);
  type.Field(h225::EndpointType::undefinedNode).SetBoolean(false);
  asn::CompleteMandatory(type);
}

Value Message(std::uint16_t kind, Value** body) {
  Value msg(h225::RasMessage::Id);
  *body = &msg.Select(kind);
  return msg;
}

// A confirm or reject: the request's sequence number, and the reason of a reject.
Value Answer(std::uint16_t kind, unsigned seq, std::optional<std::uint16_t> rejectReason) {
  Value* b;
  Value msg = Message(kind, &b);
  b->Field(static_cast<std::uint16_t>(b->IndexOf("requestSeqNum"))).SetInteger(seq);
  if (rejectReason) b->Field(static_cast<std::uint16_t>(b->IndexOf("rejectReason"))).Select(*rejectReason);
  return msg;
}

void CallIdentifier(Value& id, const std::string& guid) { id.Field(h225::CallIdentifier::guid).SetBytes(guid); }

void Aliases(Value& list, const std::string& alias) {
  if (!alias.empty()) asn::SetAlias(list.Append(), alias);
}

// The call's entry in an information response.
void PerCallInfo(Value& item, const CallInfo& call) {
  using P = h225::InfoRequestResponse_perCallInfo_item;
  item.Field(P::callReferenceValue).SetInteger(call.callReference);
  item.Field(P::conferenceID).SetBytes(call.conferenceID);
  item.Field(P::originator).SetBoolean(!call.answerCall);
  Value& signalling = item.Field(P::callSignaling);
  if (call.localCallSignalAddress)
    asn::SetIpv4(signalling.Field(h225::TransportChannelInfo::recvAddress), *call.localCallSignalAddress);
  if (call.remoteCallSignalAddress)
    asn::SetIpv4(signalling.Field(h225::TransportChannelInfo::sendAddress), *call.remoteCallSignalAddress);
  item.Field(P::h245);
  item.Field(P::callType).Select(h225::CallType::pointToPoint);
  item.Field(P::bandWidth).SetInteger(call.bandwidth);
  item.Field(P::callModel).Select(call.gatekeeperRouted ? h225::CallModel::gatekeeperRouted : h225::CallModel::direct);
  CallIdentifier(item.Field(P::callIdentifier), call.callIdentifier);
  item.Field(P::substituteConfIDs);
  asn::CompleteMandatory(item);
}

// The information response every kind shares: who we are.
Value InfoRequestResponse(unsigned seq, const EndpointInfo& info, Value** body) {
  using I = h225::InfoRequestResponse;
  Value msg = Message(h225::RasMessage::infoRequestResponse, body);
  Value* b = *body;
  b->Field(I::requestSeqNum).SetInteger(seq);
  EndpointType(b->Field(I::endpointType));
  b->Field(I::endpointIdentifier).SetText(info.endpointId.empty() ? std::string("-") : info.endpointId);
  asn::SetIpv4(b->Field(I::rasAddress), info.rasAddress);
  asn::SetIpv4(b->Field(I::callSignalAddress).Append(), info.callSignalAddress);
  Aliases(b->Field(I::endpointAlias), info.alias);
  b->Field(I::needResponse).SetBoolean(false);
  return msg;
}

}  // namespace

void SetVendor(Value& vendorIdentifier) {
  Value& t35 = vendorIdentifier.Field(h225::VendorIdentifier::vendor);
  t35.Field(h225::H221NonStandard::t35CountryCode).SetInteger(9);
  t35.Field(h225::H221NonStandard::t35Extension).SetInteger(0);
  t35.Field(h225::H221NonStandard::manufacturerCode).SetInteger(0x5644);
  vendorIdentifier.Field(h225::VendorIdentifier::productId).SetBytes("Vantro Dialer");
  vendorIdentifier.Field(h225::VendorIdentifier::versionId).SetBytes("1.0");
}

Value MakeGatekeeperRequest(unsigned seq, const EndpointInfo& info) {
  using G = h225::GatekeeperRequest;
  Value* b;
  Value msg = Message(h225::RasMessage::gatekeeperRequest, &b);
  b->Field(G::requestSeqNum).SetInteger(seq);
  b->Field(G::protocolIdentifier).SetOid(asn::kH225ProtocolIdentifier);
  asn::SetIpv4(b->Field(G::rasAddress), info.rasAddress);
  EndpointType(b->Field(G::endpointType));
  if (!info.gatekeeperId.empty()) b->Field(G::gatekeeperIdentifier).SetText(info.gatekeeperId);
  if (!info.alias.empty()) asn::SetAlias(b->Field(G::endpointAlias).Append(), info.alias);
  b->Field(G::supportsAssignedGK).SetBoolean(false);
  return msg;
}

Value MakeRegistrationRequest(unsigned seq, const EndpointInfo& info, bool keepAlive) {
  using R = h225::RegistrationRequest;
  Value* b;
  Value msg = Message(h225::RasMessage::registrationRequest, &b);
  b->Field(R::requestSeqNum).SetInteger(seq);
  b->Field(R::protocolIdentifier).SetOid(asn::kH225ProtocolIdentifier);
  b->Field(R::discoveryComplete).SetBoolean(true);  // registration always follows discovery here
  asn::SetIpv4(b->Field(R::callSignalAddress).Append(), info.callSignalAddress);
  asn::SetIpv4(b->Field(R::rasAddress).Append(), info.rasAddress);
  EndpointType(b->Field(R::terminalType));
  if (!keepAlive && !info.alias.empty()) asn::SetAlias(b->Field(R::terminalAlias).Append(), info.alias);
  if (!info.gatekeeperId.empty()) b->Field(R::gatekeeperIdentifier).SetText(info.gatekeeperId);
  SetVendor(b->Field(R::endpointVendor));
  if (info.timeToLive) b->Field(R::timeToLive).SetInteger(info.timeToLive);
  b->Field(R::keepAlive).SetBoolean(keepAlive);
  if (keepAlive && !info.endpointId.empty()) b->Field(R::endpointIdentifier).SetText(info.endpointId);
  b->Field(R::willSupplyUUIEs).SetBoolean(false);
  b->Field(R::maintainConnection).SetBoolean(false);
  b->Field(R::supportsAssignedGK).SetBoolean(false);
  return msg;
}

Value MakeUnregistrationRequest(unsigned seq, const EndpointInfo& info, std::optional<std::uint16_t> reason) {
  using U = h225::UnregistrationRequest;
  Value* b;
  Value msg = Message(h225::RasMessage::unregistrationRequest, &b);
  b->Field(U::requestSeqNum).SetInteger(seq);
  asn::SetIpv4(b->Field(U::callSignalAddress).Append(), info.callSignalAddress);
  if (!info.alias.empty()) asn::SetAlias(b->Field(U::endpointAlias).Append(), info.alias);
  if (!info.endpointId.empty()) b->Field(U::endpointIdentifier).SetText(info.endpointId);
  if (!info.gatekeeperId.empty()) b->Field(U::gatekeeperIdentifier).SetText(info.gatekeeperId);
  if (reason) b->Field(U::reason).Select(*reason);
  return msg;
}

Value MakeUnregistrationConfirm(unsigned seq) {
  return Answer(h225::RasMessage::unregistrationConfirm, seq, std::nullopt);
}

Value MakeUnregistrationReject(unsigned seq, std::uint16_t reason) {
  return Answer(h225::RasMessage::unregistrationReject, seq, reason);
}

Value MakeAdmissionRequest(unsigned seq, const EndpointInfo& info, const CallInfo& call) {
  using A = h225::AdmissionRequest;
  Value* b;
  Value msg = Message(h225::RasMessage::admissionRequest, &b);
  b->Field(A::requestSeqNum).SetInteger(seq);
  b->Field(A::callType).Select(h225::CallType::pointToPoint);
  b->Field(A::endpointIdentifier).SetText(info.endpointId);
  if (call.answerCall) {
    // The called party is this endpoint.
    Aliases(b->Field(A::destinationInfo), call.destinationAlias.empty() ? info.alias : call.destinationAlias);
    asn::SetIpv4(b->Field(A::destCallSignalAddress), call.destCallSignalAddress.value_or(info.callSignalAddress));
    Aliases(b->Field(A::srcInfo), call.sourceAlias);
    if (call.srcCallSignalAddress) asn::SetIpv4(b->Field(A::srcCallSignalAddress), *call.srcCallSignalAddress);
  } else {
    if (!call.destinationAlias.empty()) Aliases(b->Field(A::destinationInfo), call.destinationAlias);
    if (call.destCallSignalAddress) asn::SetIpv4(b->Field(A::destCallSignalAddress), *call.destCallSignalAddress);
    Aliases(b->Field(A::srcInfo), call.sourceAlias.empty() ? info.alias : call.sourceAlias);
  }
  b->Field(A::bandWidth).SetInteger(call.bandwidth);
  b->Field(A::callReferenceValue).SetInteger(call.callReference);
  b->Field(A::conferenceID).SetBytes(call.conferenceID);
  b->Field(A::activeMC).SetBoolean(false);
  b->Field(A::answerCall).SetBoolean(call.answerCall);
  b->Field(A::canMapAlias).SetBoolean(false);
  CallIdentifier(b->Field(A::callIdentifier), call.callIdentifier);
  if (!info.gatekeeperId.empty()) b->Field(A::gatekeeperIdentifier).SetText(info.gatekeeperId);
  b->Field(A::willSupplyUUIEs).SetBoolean(false);
  b->Field(A::canMapSrcAlias).SetBoolean(false);
  return msg;
}

AdmissionAnswer ReadAdmissionAnswer(const Value& rasMessage) {
  AdmissionAnswer answer;
  const Value& body = rasMessage.Alternative();
  if (rasMessage.Is(h225::RasMessage::admissionReject)) {
    answer.rejectReason = body[h225::AdmissionReject::rejectReason].Choice();
    return answer;
  }
  using C = h225::AdmissionConfirm;
  answer.confirmed = true;
  answer.bandwidth = static_cast<std::uint32_t>(body[C::bandWidth].Integer());
  answer.gatekeeperRouted = body[C::callModel].Choice() == h225::CallModel::gatekeeperRouted;
  answer.destCallSignalAddress = asn::Ipv4(body[C::destCallSignalAddress]);
  if (const Value* destinations = body.Get(C::destinationInfo))
    for (const Value& alias : destinations->Elements())
      if (std::string text = asn::AliasText(alias); !text.empty()) answer.destinationAliases.push_back(std::move(text));
  if (const Value* irr = body.Get(C::irrFrequency)) answer.irrFrequency = static_cast<std::uint32_t>(irr->Integer());
  return answer;
}

Value MakeDisengageRequest(unsigned seq, const EndpointInfo& info, const CallInfo& call, std::uint16_t reason) {
  using D = h225::DisengageRequest;
  Value* b;
  Value msg = Message(h225::RasMessage::disengageRequest, &b);
  b->Field(D::requestSeqNum).SetInteger(seq);
  b->Field(D::endpointIdentifier).SetText(info.endpointId);
  b->Field(D::conferenceID).SetBytes(call.conferenceID);
  b->Field(D::callReferenceValue).SetInteger(call.callReference);
  b->Field(D::disengageReason).Select(reason);
  CallIdentifier(b->Field(D::callIdentifier), call.callIdentifier);
  if (!info.gatekeeperId.empty()) b->Field(D::gatekeeperIdentifier).SetText(info.gatekeeperId);
  b->Field(D::answeredCall).SetBoolean(call.answerCall);
  if (call.releaseCause) {
    // The contents of the Q.931 cause element: ITU-T coding, location user, the cause value.
    const char cause[] = {'\x80', static_cast<char>(0x80 | (*call.releaseCause & 0x7f))};
    b->Field(D::terminationCause)
        .Select(h225::CallTerminationCause::releaseCompleteCauseIE)
        .SetBytes(std::string_view(cause, sizeof cause));
  }
  return msg;
}

Value MakeDisengageConfirm(unsigned seq) { return Answer(h225::RasMessage::disengageConfirm, seq, std::nullopt); }

Value MakeDisengageReject(unsigned seq, std::uint16_t reason) {
  return Answer(h225::RasMessage::disengageReject, seq, reason);
}

Value MakeInfoRequestResponse(const Value& irq, const EndpointInfo& info, const std::vector<CallInfo>& calls) {
  using I = h225::InfoRequestResponse;
  using Q = h225::InfoRequest;
  Value* b;
  Value msg = InfoRequestResponse(static_cast<unsigned>(irq[Q::requestSeqNum].Integer()), info, &b);
  const auto reference = irq[Q::callReferenceValue].Integer();
  const Value* id = irq.Get(Q::callIdentifier);
  const std::string guid = id ? (*id)[h225::CallIdentifier::guid].Bytes() : std::string();
  // A call identifier of zeros names no call: the call reference decides then.
  const bool byIdentifier = std::any_of(guid.begin(), guid.end(), [](char c) { return c != 0; });
  const bool all = reference == 0 && !byIdentifier;
  std::size_t reported = 0;
  for (const CallInfo& call : calls) {
    const bool asked = all || (byIdentifier ? call.callIdentifier == guid : call.callReference == reference);
    if (!asked) continue;
    PerCallInfo(b->Field(I::perCallInfo).Append(), call);
    ++reported;
  }
  if (!all && reported == 0)
    b->Field(I::irrStatus).Select(h225::InfoRequestResponseStatus::invalidCall);
  else
    b->Field(I::irrStatus).Select(h225::InfoRequestResponseStatus::complete);
  b->Field(I::unsolicited).SetBoolean(false);
  return msg;
}

Value MakeUnsolicitedInfoRequestResponse(unsigned seq, const EndpointInfo& info, const CallInfo& call) {
  using I = h225::InfoRequestResponse;
  Value* b;
  Value msg = InfoRequestResponse(seq, info, &b);
  PerCallInfo(b->Field(I::perCallInfo).Append(), call);
  b->Field(I::unsolicited).SetBoolean(true);
  return msg;
}

}  // namespace vantro::ras
