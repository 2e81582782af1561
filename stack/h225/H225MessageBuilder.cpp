#include "stack/h225/H225MessageBuilder.h"

#include "stack/asn/Defaults.h"
#include "stack/asn/generated/H225.h"
#include "stack/ras/H323GatekeeperMessages.h"

namespace vantro::h225 {

namespace h = asn::h225;
using asn::Value;
using q931::Q931Message;

namespace {

constexpr std::uint8_t kIeCallState = 0x14;

q931::PartyNumber Number(const std::string& digits) {
  q931::PartyNumber n;
  n.typeOfNumber = 0;   // unknown
  n.numberingPlan = 1;  // E.164
  n.digits = digits;
  return n;
}

bool IsDigits(const std::string& s) {
  return !s.empty() && s.size() <= 128 && s.find_first_not_of("0123456789#*,") == std::string::npos;
}

// Who we are: a terminal of this product.
void SetEndpointType(Value& type) {
  ras::SetVendor(type.Field(h::EndpointType::vendor));
  type.Field(h::EndpointType::terminal);
  type.Field(h::EndpointType::mc).SetBoolean(false);
  type.Field(h::EndpointType::undefinedNode).SetBoolean(false);
  asn::CompleteMandatory(type);
}

void SetDestinationInfo(H225Message& m) {
  if (Value* info = m.SetBodyField("destinationInfo")) SetEndpointType(*info);
}

void SetNoMultipleCalls(H225Message& m) {
  if (Value* v = m.SetBodyField("multipleCalls")) v->SetBoolean(false);
  if (Value* v = m.SetBodyField("maintainConnection")) v->SetBoolean(false);
}

}  // namespace

H225Message H225MessageBuilder::Make(std::uint8_t q931Type, std::uint16_t body) const {
  H225Message m(q931Type, ids_.callReference, !ids_.originating, body);
  m.SetTunnelling(tunnelling_);
  return m;
}

void H225MessageBuilder::SetCallIdentifier(H225Message& m) const {
  if (Value* id = m.SetBodyField("callIdentifier")) id->Field(h::CallIdentifier::guid).SetBytes(ids_.callIdentifier);
}

H225Message H225MessageBuilder::Setup(const SetupFields& f) const {
  using S = h::Setup_UUIE;
  H225Message m = Make(Q931Message::Setup, h::H323_UU_PDU_h323_message_body::setup);
  Q931Message& q = m.Q931();
  q.SetBearerCapability({0,
                         q931::BearerCapability::Speech,
                         0,
                         q931::BearerCapability::Rate64k,
                         std::nullopt,
                         q931::BearerCapability::Layer1H221,
                         {}});
  if (!f.sourceAlias.empty()) q.SetDisplay(f.sourceAlias);
  if (IsDigits(f.sourceAlias)) q.SetCallingPartyNumber(Number(f.sourceAlias));
  if (IsDigits(f.destinationAlias)) q.SetCalledPartyNumber(Number(f.destinationAlias));

  Value& s = m.Body();
  if (!f.sourceAlias.empty()) asn::SetAlias(s.Field(S::sourceAddress).Append(), f.sourceAlias);
  SetEndpointType(s.Field(S::sourceInfo));
  if (!f.destinationAlias.empty()) asn::SetAlias(s.Field(S::destinationAddress).Append(), f.destinationAlias);
  if (f.destCallSignalAddress) asn::SetIpv4(s.Field(S::destCallSignalAddress), *f.destCallSignalAddress);
  s.Field(S::activeMC).SetBoolean(false);
  s.Field(S::conferenceID).SetBytes(ids_.conferenceID);
  s.Field(S::conferenceGoal).Select(h::Setup_UUIE_conferenceGoal::create);
  s.Field(S::callType).Select(h::CallType::pointToPoint);
  if (f.sourceCallSignalAddress) asn::SetIpv4(s.Field(S::sourceCallSignalAddress), *f.sourceCallSignalAddress);
  SetCallIdentifier(m);
  s.Field(S::mediaWaitForConnect).SetBoolean(false);
  s.Field(S::canOverlapSend).SetBoolean(false);
  if (!f.endpointIdentifier.empty()) s.Field(S::endpointIdentifier).SetText(f.endpointIdentifier);
  SetNoMultipleCalls(m);
  return m;
}

H225Message H225MessageBuilder::Answer(std::uint8_t q931Type, std::uint16_t body) const {
  H225Message m = Make(q931Type, body);
  SetDestinationInfo(m);
  SetCallIdentifier(m);
  SetNoMultipleCalls(m);
  return m;
}

H225Message H225MessageBuilder::CallProceeding() const {
  return Answer(Q931Message::CallProceeding, h::H323_UU_PDU_h323_message_body::callProceeding);
}

H225Message H225MessageBuilder::Alerting() const {
  return Answer(Q931Message::Alerting, h::H323_UU_PDU_h323_message_body::alerting);
}

H225Message H225MessageBuilder::Connect() const {
  H225Message m = Answer(Q931Message::Connect, h::H323_UU_PDU_h323_message_body::connect);
  m.Body().Field(h::Connect_UUIE::conferenceID).SetBytes(ids_.conferenceID);
  return m;
}

H225Message H225MessageBuilder::ReleaseComplete(std::optional<std::uint16_t> reason, std::uint8_t cause) const {
  H225Message m = Make(Q931Message::ReleaseComplete, h::H323_UU_PDU_h323_message_body::releaseComplete);
  m.Q931().SetCause({.codingStandard = 0, .location = 0, .value = cause, .diagnostics = {}});
  if (reason) m.Body().Field(h::ReleaseComplete_UUIE::reason).Select(*reason);
  SetCallIdentifier(m);
  return m;
}

H225Message H225MessageBuilder::Facility(std::uint16_t reason) const {
  H225Message m = Make(Q931Message::Facility, h::H323_UU_PDU_h323_message_body::facility);
  m.Body().Field(h::Facility_UUIE::conferenceID).SetBytes(ids_.conferenceID);
  m.Body().Field(h::Facility_UUIE::reason).Select(reason);
  SetCallIdentifier(m);
  SetNoMultipleCalls(m);
  return m;
}

H225Message H225MessageBuilder::H245Carrier() const {
  return Make(Q931Message::Facility, h::H323_UU_PDU_h323_message_body::empty);
}

H225Message H225MessageBuilder::StatusEnquiry() const {
  H225Message m = Make(Q931Message::StatusEnquiry, h::H323_UU_PDU_h323_message_body::statusInquiry);
  SetCallIdentifier(m);
  return m;
}

H225Message H225MessageBuilder::Status(CallState state, std::uint8_t cause) const {
  H225Message m = Make(Q931Message::Status, h::H323_UU_PDU_h323_message_body::status);
  m.Q931().SetCause({.codingStandard = 0, .location = 0, .value = cause, .diagnostics = {}});
  m.Q931().Set(kIeCallState, {static_cast<std::uint8_t>(state & 0x3f)});
  SetCallIdentifier(m);
  return m;
}

}  // namespace vantro::h225
