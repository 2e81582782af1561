#include "stack/h225/H225Message.h"

#include "stack/asn/Defaults.h"
#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"

namespace vantro::h225 {

namespace h = asn::h225;
using asn::Value;

H225Message::H225Message(std::uint8_t q931Type, std::uint16_t callReference, bool fromDestination, std::uint16_t body)
    : q931_(q931Type, callReference, fromDestination), uu_(h::H323_UserInformation::Id), hasUuie_(true) {
  Value& pdu = uu_.Field(h::H323_UserInformation::h323_uu_pdu);
  Value& b = pdu.Field(h::H323_UU_PDU::h323_message_body).Select(body);
  if (b.Kind() == asn::Kind::Sequence) {
    const int id = b.IndexOf("protocolIdentifier");
    if (id >= 0) b.Field(static_cast<std::uint16_t>(id)).SetOid(asn::kH225ProtocolIdentifier);
  }
  pdu.Field(h::H323_UU_PDU::h245Tunneling).SetBoolean(false);
}

std::optional<H225Message> H225Message::Decode(std::span<const std::uint8_t> bytes, std::string* error) {
  auto q931 = q931::Q931Message::Decode(bytes, error);
  if (!q931) return std::nullopt;
  H225Message m;
  m.q931_ = std::move(*q931);
  auto uu = m.q931_.UserUser();
  if (!uu) {
    if (error) *error = "no user-user element";
    return m;
  }
  auto decoded = asn::Decode(h::H323_UserInformation::Id, *uu);
  if (!decoded) {
    if (error) *error = "H323-UserInformation: " + decoded.Error().Message();
    return m;
  }
  m.uu_ = std::move(*decoded);
  m.hasUuie_ = true;
  return m;
}

std::optional<Octets> H225Message::Encode(std::string* error) const {
  q931::Q931Message out = q931_;
  if (hasUuie_) {
    // Mandatory components nobody set (a call identifier of a message we never use, say) go with
    // their plainest value rather than make the message unsendable.
    Value complete = uu_;
    asn::CompleteMandatory(complete);
    auto bytes = asn::Encode(complete);
    if (!bytes) {
      if (error) *error = bytes.Error().Message();
      return std::nullopt;
    }
    out.SetUserUser(*bytes);
  }
  return out.Encode();
}

std::uint16_t H225Message::BodyType() const {
  if (!hasUuie_) return kNoBody;
  const Value* pdu = uu_.Get(h::H323_UserInformation::h323_uu_pdu);
  const Value* body = pdu ? pdu->Get(h::H323_UU_PDU::h323_message_body) : nullptr;
  if (!body || body->IsUnknownAlternative()) return kNoBody;
  return body->Choice();
}

const Value& H225Message::Pdu() const { return uu_[h::H323_UserInformation::h323_uu_pdu]; }
Value& H225Message::Pdu() { return uu_.Field(h::H323_UserInformation::h323_uu_pdu); }

const Value& H225Message::Body() const { return Pdu()[h::H323_UU_PDU::h323_message_body].Alternative(); }
Value& H225Message::Body() { return Pdu().Field(h::H323_UU_PDU::h323_message_body).Alternative(); }

const Value* H225Message::BodyField(std::string_view name) const {
  if (BodyType() == kNoBody) return nullptr;
  const Value& body = Body();
  if (body.Kind() != asn::Kind::Sequence) return nullptr;
  const int i = body.IndexOf(name);
  return i < 0 ? nullptr : body.Get(static_cast<std::uint16_t>(i));
}

Value* H225Message::SetBodyField(std::string_view name) {
  if (BodyType() == kNoBody) return nullptr;
  Value& body = Body();
  if (body.Kind() != asn::Kind::Sequence) return nullptr;
  const int i = body.IndexOf(name);
  return i < 0 ? nullptr : &body.Field(static_cast<std::uint16_t>(i));
}

std::vector<Octets> H225Message::FastStart() const {
  std::vector<Octets> out;
  const Value* fs = BodyField("fastStart");
  if (!fs || fs->Kind() != asn::Kind::SequenceOf) return out;
  for (const Value& e : fs->Elements()) out.emplace_back(e.Octets().begin(), e.Octets().end());
  return out;
}

void H225Message::SetFastStart(const std::vector<Octets>& elements) {
  Value* fs = SetBodyField("fastStart");
  if (!fs) return;
  for (const Octets& e : elements) fs->Append().SetBytes(e);
}

bool H225Message::FastConnectRefused() const { return BodyField("fastConnectRefused") != nullptr; }

void H225Message::SetFastConnectRefused() { SetBodyField("fastConnectRefused"); }

std::optional<asn::Ipv4Address> H225Message::H245Address() const {
  const Value* a = BodyField("h245Address");
  if (!a) return std::nullopt;
  auto ip = asn::Ipv4(*a);
  if (!ip || ip->port == 0) return std::nullopt;
  return ip;
}

void H225Message::SetH245Address(const asn::Ipv4Address& address) {
  if (Value* a = SetBodyField("h245Address")) asn::SetIpv4(*a, address);
}

std::string H225Message::CallIdentifier() const {
  const Value* id = BodyField("callIdentifier");
  if (!id) return {};
  const Value* guid = id->Get(h::CallIdentifier::guid);
  return guid ? guid->Bytes() : std::string();
}

namespace {

std::string Printable(const std::optional<std::string>& text) {
  std::string out;
  if (!text) return out;
  for (char c : *text) {
    if (c == '\0') break;
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) out += c;
  }
  return out;
}

}  // namespace

std::string H225Message::Display() const { return Printable(q931_.Display()); }

std::string H225Message::Keypad() const { return Printable(q931_.Keypad()); }

std::optional<bool> H225Message::Tunnelling() const {
  if (!hasUuie_) return std::nullopt;
  const Value* t = Pdu().Get(h::H323_UU_PDU::h245Tunneling);
  return t ? t->Boolean() : false;
}

void H225Message::SetTunnelling(bool tunnelling) {
  if (hasUuie_) Pdu().Field(h::H323_UU_PDU::h245Tunneling).SetBoolean(tunnelling);
}

std::vector<Octets> H225Message::H245Control() const {
  std::vector<Octets> out;
  if (!hasUuie_) return out;
  const Value* control = Pdu().Get(h::H323_UU_PDU::h245Control);
  if (!control) return out;
  for (const Value& e : control->Elements()) out.emplace_back(e.Octets().begin(), e.Octets().end());
  return out;
}

void H225Message::AddH245Control(std::span<const std::uint8_t> message) {
  if (hasUuie_) Pdu().Field(h::H323_UU_PDU::h245Control).Append().SetBytes(message);
}

std::size_t H225Message::H245ControlCount() const {
  if (!hasUuie_) return 0;
  const Value* control = Pdu().Get(h::H323_UU_PDU::h245Control);
  return control ? control->Size() : 0;
}

std::string AddressText(const asn::Ipv4Address& a) {
  return std::to_string(a.ip[0]) + "." + std::to_string(a.ip[1]) + "." + std::to_string(a.ip[2]) + "." +
         std::to_string(a.ip[3]) + ":" + std::to_string(a.port);
}

std::string DescribeMessage(const H225Message& message) {
  const std::uint16_t body = message.BodyType();
  std::string text = q931::MessageTypeName(message.Type());
  if (body != H225Message::kNoBody) {
    const asn::TypeDesc& t = asn::typeDesc(message.Pdu()[h::H323_UU_PDU::h323_message_body].Type());
    text += std::string(" (") + asn::fieldDesc(t, body).name + ")";
  }
  if (const std::size_t n = message.H245ControlCount()) text += " +" + std::to_string(n) + " H.245";
  return text;
}

}  // namespace vantro::h225
