#include "tests/stack/asn/SampleMessages.h"

#include "stack/asn/Defaults.h"
#include "stack/asn/H323Values.h"
#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"
#include "stack/asn/generated/H245.h"

namespace vantro::test {

using namespace vantro::asn;

namespace {

constexpr Ipv4Address kGatekeeperRas{{127, 0, 0, 1}, kGatekeeperRasPort};
constexpr Ipv4Address kEndpointRas{{127, 0, 0, 1}, kEndpointRasPort};
constexpr Ipv4Address kEndpointSignal{{127, 0, 0, 1}, kEndpointSignalPort};
constexpr Ipv4Address kPeerSignal{{127, 0, 0, 1}, 1722};
const std::string kCallGuid("\x11\x22\x33\x44\x55\x66\x77\x88\x99\xaa\xbb\xcc\xdd\xee\xff\x00", 16);
const std::string kConferenceGuid("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10", 16);

void vendor(Value& vendorIdentifier) {
  Value& t35 = vendorIdentifier.field(h225::VendorIdentifier::vendor);
  t35.field(h225::H221NonStandard::t35CountryCode).setInteger(9);
  t35.field(h225::H221NonStandard::t35Extension).setInteger(0);
  t35.field(h225::H221NonStandard::manufacturerCode).setInteger(0x5644);
  vendorIdentifier.field(h225::VendorIdentifier::productId).setBytes("Vantro Dialer");
  vendorIdentifier.field(h225::VendorIdentifier::versionId).setBytes("1.0");
}

void terminalType(Value& endpointType) {
  vendor(endpointType.field(h225::EndpointType::vendor));
  endpointType.field(h225::EndpointType::terminal);
  completeMandatory(endpointType);
}

void h225Protocol(Value& oid) { oid.setOid(kH225ProtocolIdentifier); }

Value ras(std::uint16_t alternative, Value** body) {
  Value msg(h225::RasMessage::Id);
  *body = &msg.select(alternative);
  return msg;
}

void callIdentifier(Value& v) { v.field(h225::CallIdentifier::guid).setBytes(kCallGuid); }

Value h245(std::uint16_t kind, std::uint16_t alternative, Value** body) {
  Value msg(h245::MultimediaSystemControlMessage::Id);
  *body = &msg.select(kind).select(alternative);
  return msg;
}

void capability(Value& table, unsigned number, std::uint16_t kind, std::uint16_t alternative, Value** body) {
  Value& entry = table.append();
  entry.field(h245::CapabilityTableEntry::capabilityTableEntryNumber).setInteger(number);
  *body = &entry.field(h245::CapabilityTableEntry::capability).select(kind);
  if (alternative != 0xffff) *body = &(*body)->select(alternative);
}

std::string encodeToString(const Value& v) {
  std::vector<std::uint8_t> bytes = *encode(v);
  return std::string(bytes.begin(), bytes.end());
}

void h225Common(Value& body, std::uint16_t protocolId, std::uint16_t callId) {
  h225Protocol(body.field(protocolId));
  callIdentifier(body.field(callId));
}

}  // namespace

Value rrqFull(unsigned seq) {
  Value* rrq;
  Value msg = ras(h225::RasMessage::registrationRequest, &rrq);
  using R = h225::RegistrationRequest;
  rrq->field(R::requestSeqNum).setInteger(seq);
  h225Protocol(rrq->field(R::protocolIdentifier));
  rrq->field(R::discoveryComplete).setBoolean(true);
  setIpv4(rrq->field(R::callSignalAddress).append(), kEndpointSignal);
  setIpv4(rrq->field(R::rasAddress).append(), kEndpointRas);
  terminalType(rrq->field(R::terminalType));
  setAlias(rrq->field(R::terminalAlias).append(), kAliasNumber);
  setAlias(rrq->field(R::terminalAlias).append(), kAliasName);
  rrq->field(R::gatekeeperIdentifier).setText(kGatekeeperId);
  vendor(rrq->field(R::endpointVendor));
  rrq->field(R::timeToLive).setInteger(300);
  rrq->field(R::keepAlive).setBoolean(false);
  rrq->field(R::willSupplyUUIEs).setBoolean(false);
  rrq->field(R::maintainConnection).setBoolean(false);
  completeMandatory(*rrq);
  return msg;
}

std::vector<SampleMessage> rasMessages() {
  std::vector<SampleMessage> out;
  Value* b;
  {
    Value m = ras(h225::RasMessage::gatekeeperRequest, &b);
    b->field(h225::GatekeeperRequest::requestSeqNum).setInteger(1);
    h225Protocol(b->field(h225::GatekeeperRequest::protocolIdentifier));
    setIpv4(b->field(h225::GatekeeperRequest::rasAddress), kEndpointRas);
    terminalType(b->field(h225::GatekeeperRequest::endpointType));
    setAlias(b->field(h225::GatekeeperRequest::endpointAlias).append(), kAliasNumber);
    b->field(h225::GatekeeperRequest::authenticationCapability).append().select(h235::AuthenticationMechanism::pwdHash);
    b->field(h225::GatekeeperRequest::algorithmOIDs).append().setOid({1, 2, 840, 113549, 2, 5});
    out.push_back({"gatekeeperRequest", std::move(m)});
  }
  {
    Value m = ras(h225::RasMessage::gatekeeperConfirm, &b);
    b->field(h225::GatekeeperConfirm::requestSeqNum).setInteger(1);
    h225Protocol(b->field(h225::GatekeeperConfirm::protocolIdentifier));
    b->field(h225::GatekeeperConfirm::gatekeeperIdentifier).setText(kGatekeeperId);
    setIpv4(b->field(h225::GatekeeperConfirm::rasAddress), kGatekeeperRas);
    b->field(h225::GatekeeperConfirm::authenticationMode).select(h235::AuthenticationMechanism::pwdHash);
    b->field(h225::GatekeeperConfirm::algorithmOID).setOid({1, 2, 840, 113549, 2, 5});
    out.push_back({"gatekeeperConfirm", std::move(m)});
  }
  {
    Value m = ras(h225::RasMessage::gatekeeperReject, &b);
    b->field(h225::GatekeeperReject::requestSeqNum).setInteger(1);
    h225Protocol(b->field(h225::GatekeeperReject::protocolIdentifier));
    b->field(h225::GatekeeperReject::gatekeeperIdentifier).setText(kGatekeeperId);
    b->field(h225::GatekeeperReject::rejectReason).select(h225::GatekeeperRejectReason::terminalExcluded);
    out.push_back({"gatekeeperReject", std::move(m)});
  }
  out.push_back({"registrationRequest", rrqFull(2)});
  {
    // The keep-alive: lightweight RRQ with the identifiers of the registration.
    Value m = ras(h225::RasMessage::registrationRequest, &b);
    using R = h225::RegistrationRequest;
    b->field(R::requestSeqNum).setInteger(3);
    h225Protocol(b->field(R::protocolIdentifier));
    b->field(R::discoveryComplete).setBoolean(false);
    setIpv4(b->field(R::callSignalAddress).append(), kEndpointSignal);
    setIpv4(b->field(R::rasAddress).append(), kEndpointRas);
    terminalType(b->field(R::terminalType));
    b->field(R::gatekeeperIdentifier).setText(kGatekeeperId);
    vendor(b->field(R::endpointVendor));
    b->field(R::timeToLive).setInteger(300);
    b->field(R::keepAlive).setBoolean(true);
    b->field(R::endpointIdentifier).setText(kEndpointId);
    b->field(R::willSupplyUUIEs).setBoolean(false);
    b->field(R::maintainConnection).setBoolean(false);
    out.push_back({"registrationRequest", std::move(m)});
  }
  {
    Value m = ras(h225::RasMessage::registrationConfirm, &b);
    using R = h225::RegistrationConfirm;
    b->field(R::requestSeqNum).setInteger(2);
    h225Protocol(b->field(R::protocolIdentifier));
    setIpv4(b->field(R::callSignalAddress).append(), {{127, 0, 0, 1}, 1721});
    setAlias(b->field(R::terminalAlias).append(), kAliasNumber);
    b->field(R::gatekeeperIdentifier).setText(kGatekeeperId);
    b->field(R::endpointIdentifier).setText(kEndpointId);
    b->field(R::timeToLive).setInteger(300);
    b->field(R::willRespondToIRR).setBoolean(false);
    b->field(R::maintainConnection).setBoolean(false);
    completeMandatory(*b);
    out.push_back({"registrationConfirm", std::move(m)});
  }
  {
    Value m = ras(h225::RasMessage::registrationReject, &b);
    b->field(h225::RegistrationReject::requestSeqNum).setInteger(2);
    h225Protocol(b->field(h225::RegistrationReject::protocolIdentifier));
    b->field(h225::RegistrationReject::rejectReason).select(h225::RegistrationRejectReason::securityDenial);
    b->field(h225::RegistrationReject::gatekeeperIdentifier).setText(kGatekeeperId);
    out.push_back({"registrationReject", std::move(m)});
  }
  {
    Value m = ras(h225::RasMessage::unregistrationRequest, &b);
    using U = h225::UnregistrationRequest;
    b->field(U::requestSeqNum).setInteger(9);
    setIpv4(b->field(U::callSignalAddress).append(), kEndpointSignal);
    setAlias(b->field(U::endpointAlias).append(), kAliasNumber);
    b->field(U::endpointIdentifier).setText(kEndpointId);
    b->field(U::gatekeeperIdentifier).setText(kGatekeeperId);
    b->field(U::reason).select(h225::UnregRequestReason::undefinedReason);
    out.push_back({"unregistrationRequest", std::move(m)});
  }
  {
    Value m = ras(h225::RasMessage::unregistrationConfirm, &b);
    b->field(h225::UnregistrationConfirm::requestSeqNum).setInteger(9);
    out.push_back({"unregistrationConfirm", std::move(m)});
  }
  {
    Value m = ras(h225::RasMessage::admissionRequest, &b);
    using A = h225::AdmissionRequest;
    b->field(A::requestSeqNum).setInteger(4);
    b->field(A::callType).select(h225::CallType::pointToPoint);
    b->field(A::callModel).select(h225::CallModel::gatekeeperRouted);
    b->field(A::endpointIdentifier).setText(kEndpointId);
    setAlias(b->field(A::destinationInfo).append(), "5551234");
    setAlias(b->field(A::srcInfo).append(), kAliasNumber);
    setIpv4(b->field(A::srcCallSignalAddress), kEndpointSignal);
    b->field(A::bandWidth).setInteger(1280);
    b->field(A::callReferenceValue).setInteger(1723);
    b->field(A::conferenceID).setBytes(kConferenceGuid);
    b->field(A::activeMC).setBoolean(false);
    b->field(A::answerCall).setBoolean(false);
    b->field(A::canMapAlias).setBoolean(true);
    callIdentifier(b->field(A::callIdentifier));
    b->field(A::gatekeeperIdentifier).setText(kGatekeeperId);
    b->field(A::willSupplyUUIEs).setBoolean(false);
    out.push_back({"admissionRequest", std::move(m)});
  }
  {
    Value m = ras(h225::RasMessage::admissionConfirm, &b);
    using A = h225::AdmissionConfirm;
    b->field(A::requestSeqNum).setInteger(4);
    b->field(A::bandWidth).setInteger(1280);
    b->field(A::callModel).select(h225::CallModel::gatekeeperRouted);
    setIpv4(b->field(A::destCallSignalAddress), {{127, 0, 0, 1}, 1721});
    b->field(A::irrFrequency).setInteger(120);
    b->field(A::willRespondToIRR).setBoolean(false);
    b->field(A::uuiesRequested);
    completeMandatory(*b);
    out.push_back({"admissionConfirm", std::move(m)});
  }
  {
    Value m = ras(h225::RasMessage::admissionReject, &b);
    b->field(h225::AdmissionReject::requestSeqNum).setInteger(4);
    b->field(h225::AdmissionReject::rejectReason).select(h225::AdmissionRejectReason::calledPartyNotRegistered);
    out.push_back({"admissionReject", std::move(m)});
  }
  {
    Value m = ras(h225::RasMessage::disengageRequest, &b);
    using D = h225::DisengageRequest;
    b->field(D::requestSeqNum).setInteger(5);
    b->field(D::endpointIdentifier).setText(kEndpointId);
    b->field(D::conferenceID).setBytes(kConferenceGuid);
    b->field(D::callReferenceValue).setInteger(1723);
    b->field(D::disengageReason).select(h225::DisengageReason::normalDrop);
    callIdentifier(b->field(D::callIdentifier));
    b->field(D::gatekeeperIdentifier).setText(kGatekeeperId);
    b->field(D::answeredCall).setBoolean(false);
    out.push_back({"disengageRequest", std::move(m)});
  }
  {
    Value m = ras(h225::RasMessage::disengageConfirm, &b);
    b->field(h225::DisengageConfirm::requestSeqNum).setInteger(5);
    out.push_back({"disengageConfirm", std::move(m)});
  }
  {
    Value m = ras(h225::RasMessage::infoRequest, &b);
    b->field(h225::InfoRequest::requestSeqNum).setInteger(6);
    b->field(h225::InfoRequest::callReferenceValue).setInteger(0);
    setIpv4(b->field(h225::InfoRequest::replyAddress), kGatekeeperRas);
    out.push_back({"infoRequest", std::move(m)});
  }
  {
    Value m = ras(h225::RasMessage::infoRequestResponse, &b);
    using I = h225::InfoRequestResponse;
    b->field(I::requestSeqNum).setInteger(6);
    terminalType(b->field(I::endpointType));
    b->field(I::endpointIdentifier).setText(kEndpointId);
    setIpv4(b->field(I::rasAddress), kEndpointRas);
    setIpv4(b->field(I::callSignalAddress).append(), kEndpointSignal);
    setAlias(b->field(I::endpointAlias).append(), kAliasNumber);
    using P = h225::InfoRequestResponse_perCallInfo_item;
    Value& call = b->field(I::perCallInfo).append();
    call.field(P::callReferenceValue).setInteger(1723);
    call.field(P::conferenceID).setBytes(kConferenceGuid);
    call.field(P::originator).setBoolean(true);
    setIpv4(call.field(P::h245).field(h225::TransportChannelInfo::recvAddress), kEndpointSignal);
    setIpv4(call.field(P::callSignaling).field(h225::TransportChannelInfo::recvAddress), kEndpointSignal);
    call.field(P::callType).select(h225::CallType::pointToPoint);
    call.field(P::bandWidth).setInteger(1280);
    call.field(P::callModel).select(h225::CallModel::gatekeeperRouted);
    callIdentifier(call.field(P::callIdentifier));
    completeMandatory(*b);
    b->field(I::needResponse).setBoolean(false);
    out.push_back({"infoRequestResponse", std::move(m)});
  }
  {
    Value m = ras(h225::RasMessage::requestInProgress, &b);
    b->field(h225::RequestInProgress::requestSeqNum).setInteger(4);
    b->field(h225::RequestInProgress::delay).setInteger(5000);
    out.push_back({"requestInProgress", std::move(m)});
  }
  return out;
}

Value terminalCapabilitySet() {
  Value* tcs;
  Value msg = h245(h245::MultimediaSystemControlMessage::request, h245::RequestMessage::terminalCapabilitySet, &tcs);
  using T = h245::TerminalCapabilitySet;
  tcs->field(T::sequenceNumber).setInteger(1);
  tcs->field(T::protocolIdentifier).setOid(kH245ProtocolIdentifier);
  Value& mux = tcs->field(T::multiplexCapability).select(h245::MultiplexCapability::h2250Capability);
  mux.field(h245::H2250Capability::maximumAudioDelayJitter).setInteger(250);
  Value& table = tcs->field(T::capabilityTable);
  Value* c;
  capability(table, 1, h245::Capability::receiveAudioCapability, h245::AudioCapability::g729AnnexA, &c);
  c->setInteger(2);
  capability(table, 2, h245::Capability::receiveAudioCapability, h245::AudioCapability::g7231, &c);
  c->field(h245::AudioCapability_g7231::maxAl_sduAudioFrames).setInteger(1);
  c->field(h245::AudioCapability_g7231::silenceSuppression).setBoolean(false);
  capability(table, 3, h245::Capability::receiveAudioCapability, h245::AudioCapability::g711Ulaw64k, &c);
  c->setInteger(240);
  capability(table, 4, h245::Capability::receiveAudioCapability, h245::AudioCapability::g711Alaw64k, &c);
  c->setInteger(240);
  capability(table, 5, h245::Capability::receiveVideoCapability, h245::VideoCapability::h263VideoCapability, &c);
  c->field(h245::H263VideoCapability::qcifMPI).setInteger(1);
  c->field(h245::H263VideoCapability::cifMPI).setInteger(2);
  c->field(h245::H263VideoCapability::maxBitRate).setInteger(3840);
  capability(table, 6, h245::Capability::receiveVideoCapability, h245::VideoCapability::h261VideoCapability, &c);
  c->field(h245::H261VideoCapability::qcifMPI).setInteger(1);
  c->field(h245::H261VideoCapability::cifMPI).setInteger(1);
  c->field(h245::H261VideoCapability::maxBitRate).setInteger(3840);
  capability(table, 7, h245::Capability::receiveAndTransmitDataApplicationCapability, 0xffff, &c);
  Value& fax = c->field(h245::DataApplicationCapability::application)
                   .select(h245::DataApplicationCapability_application::t38fax);
  fax.field(h245::DataApplicationCapability_application_t38fax::t38FaxProtocol)
      .select(h245::DataProtocolCapability::udp);
  Value& profile = fax.field(h245::DataApplicationCapability_application_t38fax::t38FaxProfile);
  profile.field(h245::T38FaxProfile::version).setInteger(0);
  profile.field(h245::T38FaxProfile::t38FaxRateManagement).select(h245::T38FaxRateManagement::transferredTCF);
  c->field(h245::DataApplicationCapability::maxBitRate).setInteger(144);
  capability(table, 8, h245::Capability::receiveUserInputCapability, h245::UserInputCapability::basicString, &c);
  capability(table, 9, h245::Capability::receiveUserInputCapability, h245::UserInputCapability::dtmf, &c);
  Value& descriptor = tcs->field(T::capabilityDescriptors).append();
  descriptor.field(h245::CapabilityDescriptor::capabilityDescriptorNumber).setInteger(0);
  Value& simultaneous = descriptor.field(h245::CapabilityDescriptor::simultaneousCapabilities);
  for (auto group : {std::vector<int>{1, 2, 3, 4}, {5, 6}, {7}, {8, 9}}) {
    Value& alternatives = simultaneous.append();
    for (int n : group) alternatives.append().setInteger(n);
  }
  completeMandatory(*tcs);
  return msg;
}

Value openLogicalChannel(unsigned channel, unsigned sessionId, unsigned mediaPort, bool g711) {
  Value olc(h245::OpenLogicalChannel::Id);
  using O = h245::OpenLogicalChannel;
  using F = h245::OpenLogicalChannel_forwardLogicalChannelParameters;
  using H = h245::H2250LogicalChannelParameters;
  olc.field(O::forwardLogicalChannelNumber).setInteger(channel);
  Value& forward = olc.field(O::forwardLogicalChannelParameters);
  Value& audio = forward.field(F::dataType).select(h245::DataType::audioData);
  if (g711)
    audio.select(h245::AudioCapability::g711Ulaw64k).setInteger(20);
  else
    audio.select(h245::AudioCapability::g729AnnexA).setInteger(2);
  Value& h2250 = forward.field(F::multiplexParameters)
                     .select(h245::OpenLogicalChannel_forwardLogicalChannelParameters_multiplexParameters::
                                 h2250LogicalChannelParameters);
  h2250.field(H::sessionID).setInteger(sessionId);
  setIpv4(h2250.field(H::mediaChannel), {{127, 0, 0, 1}, static_cast<std::uint16_t>(mediaPort)});
  setIpv4(h2250.field(H::mediaControlChannel), {{127, 0, 0, 1}, static_cast<std::uint16_t>(mediaPort + 1)});
  h2250.field(H::silenceSuppression).setBoolean(false);
  completeMandatory(olc);
  return olc;
}

std::vector<SampleMessage> h245Messages() {
  using M = h245::MultimediaSystemControlMessage;
  std::vector<SampleMessage> out;
  Value* b;
  out.push_back({"terminalCapabilitySet", terminalCapabilitySet()});
  {
    Value m = h245(M::response, h245::ResponseMessage::terminalCapabilitySetAck, &b);
    b->field(h245::TerminalCapabilitySetAck::sequenceNumber).setInteger(1);
    out.push_back({"terminalCapabilitySetAck", std::move(m)});
  }
  {
    Value m = h245(M::request, h245::RequestMessage::masterSlaveDetermination, &b);
    b->field(h245::MasterSlaveDetermination::terminalType).setInteger(50);
    b->field(h245::MasterSlaveDetermination::statusDeterminationNumber).setInteger(8912345);
    out.push_back({"masterSlaveDetermination", std::move(m)});
  }
  {
    Value m = h245(M::response, h245::ResponseMessage::masterSlaveDeterminationAck, &b);
    b->field(h245::MasterSlaveDeterminationAck::decision).select(h245::MasterSlaveDeterminationAck_decision::slave);
    out.push_back({"masterSlaveDeterminationAck", std::move(m)});
  }
  {
    Value m(M::Id);
    m.select(M::request).select(h245::RequestMessage::openLogicalChannel) = openLogicalChannel(101, 1, 5000, false);
    out.push_back({"openLogicalChannel", std::move(m)});
  }
  {
    Value m = h245(M::response, h245::ResponseMessage::openLogicalChannelAck, &b);
    using A = h245::OpenLogicalChannelAck;
    using P = h245::H2250LogicalChannelAckParameters;
    b->field(A::forwardLogicalChannelNumber).setInteger(101);
    Value& ack =
        b->field(A::forwardMultiplexAckParameters)
            .select(h245::OpenLogicalChannelAck_forwardMultiplexAckParameters::h2250LogicalChannelAckParameters);
    ack.field(P::sessionID).setInteger(1);
    setIpv4(ack.field(P::mediaChannel), {{127, 0, 0, 1}, 5002});
    setIpv4(ack.field(P::mediaControlChannel), {{127, 0, 0, 1}, 5003});
    out.push_back({"openLogicalChannelAck", std::move(m)});
  }
  {
    Value m = h245(M::request, h245::RequestMessage::closeLogicalChannel, &b);
    b->field(h245::CloseLogicalChannel::forwardLogicalChannelNumber).setInteger(101);
    b->field(h245::CloseLogicalChannel::source).select(h245::CloseLogicalChannel_source::user);
    completeMandatory(*b);
    out.push_back({"closeLogicalChannel", std::move(m)});
  }
  {
    Value m = h245(M::indication, h245::IndicationMessage::userInput, &b);
    b->select(h245::UserInputIndication::alphanumeric).setText("5");
    out.push_back({"userInput", std::move(m)});
  }
  {
    Value m = h245(M::indication, h245::IndicationMessage::userInput, &b);
    Value& signal = b->select(h245::UserInputIndication::signal);
    signal.field(h245::UserInputIndication_signal::signalType).setText("#");
    signal.field(h245::UserInputIndication_signal::duration).setInteger(250);
    out.push_back({"userInput", std::move(m)});
  }
  {
    Value m = h245(M::command, h245::CommandMessage::endSessionCommand, &b);
    b->select(h245::EndSessionCommand::disconnect);
    out.push_back({"endSessionCommand", std::move(m)});
  }
  {
    Value m = h245(M::request, h245::RequestMessage::roundTripDelayRequest, &b);
    b->field(h245::RoundTripDelayRequest::sequenceNumber).setInteger(7);
    out.push_back({"roundTripDelayRequest", std::move(m)});
  }
  {
    Value m = h245(M::response, h245::ResponseMessage::roundTripDelayResponse, &b);
    b->field(h245::RoundTripDelayResponse::sequenceNumber).setInteger(7);
    out.push_back({"roundTripDelayResponse", std::move(m)});
  }
  return out;
}

Value setupWithFastStart() {
  Value uu(h225::H323_UserInformation::Id);
  Value& pdu = uu.field(h225::H323_UserInformation::h323_uu_pdu);
  Value& setup = pdu.field(h225::H323_UU_PDU::h323_message_body).select(h225::H323_UU_PDU_h323_message_body::setup);
  using S = h225::Setup_UUIE;
  h225Common(setup, S::protocolIdentifier, S::callIdentifier);
  setAlias(setup.field(S::sourceAddress).append(), kAliasNumber);
  setAlias(setup.field(S::sourceAddress).append(), kAliasName);
  vendor(setup.field(S::sourceInfo).field(h225::EndpointType::vendor));
  setup.field(S::sourceInfo).field(h225::EndpointType::terminal);
  setAlias(setup.field(S::destinationAddress).append(), "5551234");
  setIpv4(setup.field(S::destCallSignalAddress), kPeerSignal);
  setup.field(S::activeMC).setBoolean(false);
  setup.field(S::conferenceID).setBytes(kConferenceGuid);
  setup.field(S::conferenceGoal).select(h225::Setup_UUIE_conferenceGoal::create);
  setup.field(S::callType).select(h225::CallType::pointToPoint);
  setIpv4(setup.field(S::sourceCallSignalAddress), kEndpointSignal);
  // Two proposals: G.729A and G.711 µ-law, receive channels with our RTP ports.
  Value& fastStart = setup.field(S::fastStart);
  fastStart.append().setBytes(encodeToString(openLogicalChannel(1, 1, 5000, false)));
  fastStart.append().setBytes(encodeToString(openLogicalChannel(2, 1, 5000, true)));
  setup.field(S::mediaWaitForConnect).setBoolean(false);
  setup.field(S::canOverlapSend).setBoolean(false);
  setup.field(S::endpointIdentifier).setText(kEndpointId);
  setup.field(S::multipleCalls).setBoolean(false);
  setup.field(S::maintainConnection).setBoolean(false);
  completeMandatory(setup);
  pdu.field(h225::H323_UU_PDU::h245Tunneling).setBoolean(true);
  pdu.field(h225::H323_UU_PDU::h245Control).append().setBytes(encodeToString(terminalCapabilitySet()));
  return uu;
}

std::vector<SampleSignal> signallingMessages() {
  using B = h225::H323_UU_PDU_h323_message_body;
  std::vector<SampleSignal> out;
  out.push_back({"setup", q931::Q931Message::Setup, setupWithFastStart()});
  auto message = [&](const char* name, std::uint8_t q931Type, std::uint16_t body, auto&& fill) {
    Value uu(h225::H323_UserInformation::Id);
    Value& pdu = uu.field(h225::H323_UserInformation::h323_uu_pdu);
    fill(pdu.field(h225::H323_UU_PDU::h323_message_body).select(body));
    pdu.field(h225::H323_UU_PDU::h245Tunneling).setBoolean(true);
    completeMandatory(uu);
    out.push_back({name, q931Type, std::move(uu)});
  };
  auto destination = [](Value& endpointType) {
    vendor(endpointType.field(h225::EndpointType::vendor));
    endpointType.field(h225::EndpointType::terminal);
  };
  message("callProceeding", q931::Q931Message::CallProceeding, B::callProceeding, [&](Value& b) {
    h225Common(b, h225::CallProceeding_UUIE::protocolIdentifier, h225::CallProceeding_UUIE::callIdentifier);
    destination(b.field(h225::CallProceeding_UUIE::destinationInfo));
  });
  message("alerting", q931::Q931Message::Alerting, B::alerting, [&](Value& b) {
    h225Common(b, h225::Alerting_UUIE::protocolIdentifier, h225::Alerting_UUIE::callIdentifier);
    destination(b.field(h225::Alerting_UUIE::destinationInfo));
  });
  message("connect", q931::Q931Message::Connect, B::connect, [&](Value& b) {
    using C = h225::Connect_UUIE;
    h225Common(b, C::protocolIdentifier, C::callIdentifier);
    setIpv4(b.field(C::h245Address), {{127, 0, 0, 1}, 30010});
    destination(b.field(C::destinationInfo));
    b.field(C::conferenceID).setBytes(kConferenceGuid);
    b.field(C::fastStart).append().setBytes(encodeToString(openLogicalChannel(1, 1, 5002, false)));
  });
  message("releaseComplete", q931::Q931Message::ReleaseComplete, B::releaseComplete, [&](Value& b) {
    h225Common(b, h225::ReleaseComplete_UUIE::protocolIdentifier, h225::ReleaseComplete_UUIE::callIdentifier);
    b.field(h225::ReleaseComplete_UUIE::reason).select(h225::ReleaseCompleteReason::destinationRejection);
  });
  message("facility", q931::Q931Message::Facility, B::facility, [&](Value& b) {
    using F = h225::Facility_UUIE;
    h225Common(b, F::protocolIdentifier, F::callIdentifier);
    b.field(F::conferenceID).setBytes(kConferenceGuid);
    b.field(F::reason).select(h225::FacilityReason::startH245);
    setIpv4(b.field(F::h245Address), {{127, 0, 0, 1}, 30010});
  });
  message("progress", q931::Q931Message::Progress, B::progress, [&](Value& b) {
    h225Common(b, h225::Progress_UUIE::protocolIdentifier, h225::Progress_UUIE::callIdentifier);
    destination(b.field(h225::Progress_UUIE::destinationInfo));
  });
  return out;
}

q931::Q931Message q931For(const SampleSignal& s, std::uint16_t callReference) {
  q931::Q931Message m(s.q931Type, callReference, s.q931Type != q931::Q931Message::Setup);
  if (s.q931Type == q931::Q931Message::Setup) {
    m.setBearerCapability(q931::BearerCapability::digital());
    m.setDisplay(kAliasName);
    m.setCallingPartyNumber(
        {.typeOfNumber = 0, .numberingPlan = 1, .presentation = 0, .screening = 0, .digits = kAliasNumber});
    q931::PartyNumber called;
    called.digits = "5551234";
    m.setCalledPartyNumber(called);
  }
  if (s.q931Type == q931::Q931Message::ReleaseComplete) {
    q931::Cause cause;
    cause.value = q931::Cause::CallRejected;
    m.setCause(cause);
  }
  if (s.q931Type == q931::Q931Message::Progress) m.setProgressIndicator({});
  m.setUserUser(*encode(s.uu));
  return m;
}

}  // namespace vantro::test
