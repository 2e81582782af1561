#include "stack/q931/Q931Message.h"

#include <algorithm>
#include <stdexcept>

namespace vantro::q931 {

namespace {

bool SingleOctet(std::uint8_t id) { return id & 0x80; }

std::optional<Q931Message> FailWith(std::string* error, const char* why) {
  if (error) *error = why;
  return std::nullopt;
}

std::string TextOf(const std::vector<std::uint8_t>& c) { return std::string(c.begin(), c.end()); }

std::vector<std::uint8_t> BytesOf(std::string_view s, std::size_t max) {
  s = s.substr(0, max);
  return std::vector<std::uint8_t>(s.begin(), s.end());
}

}  // namespace

std::optional<Q931Message> Q931Message::Decode(std::span<const std::uint8_t> b, std::string* error) {
  if (b.size() < 3) return FailWith(error, "shorter than a Q.931 header");
  Q931Message m;
  m.protocol_ = b[0];
  if (m.protocol_ != kProtocolDiscriminator) return FailWith(error, "not a Q.931 protocol discriminator");
  if (b[1] & 0xf0) return FailWith(error, "malformed call reference length");
  m.callRefLength_ = b[1] & 0x0f;
  if (m.callRefLength_ > 2) return FailWith(error, "call reference longer than two octets");
  std::size_t i = 2;
  if (b.size() < i + m.callRefLength_ + 1) return FailWith(error, "truncated call reference");
  if (m.callRefLength_ > 0) {
    m.fromDestination_ = b[i] & 0x80;
    std::uint16_t ref = b[i] & 0x7f;
    if (m.callRefLength_ == 2) ref = static_cast<std::uint16_t>(ref << 8 | b[i + 1]);
    m.callReference_ = ref;
    i += m.callRefLength_;
  }
  m.type_ = b[i++];
  if (m.type_ & 0x80) return FailWith(error, "unknown message type escape");
  while (i < b.size()) {
    InformationElement ie;
    ie.id = b[i++];
    if (!SingleOctet(ie.id)) {
      std::size_t len;
      if (ie.id == IeUserUser) {
        if (b.size() - i < 2) return FailWith(error, "truncated element length");
        len = static_cast<std::size_t>(b[i]) << 8 | b[i + 1];
        i += 2;
      } else {
        if (b.size() - i < 1) return FailWith(error, "truncated element length");
        len = b[i++];
      }
      if (b.size() - i < len) return FailWith(error, "element longer than the message");
      ie.contents.assign(b.begin() + static_cast<std::ptrdiff_t>(i), b.begin() + static_cast<std::ptrdiff_t>(i + len));
      i += len;
    }
    m.elements_.push_back(std::move(ie));
  }
  return m;
}

std::vector<std::uint8_t> Q931Message::Encode() const {
  std::vector<std::uint8_t> out;
  out.push_back(protocol_);
  out.push_back(callRefLength_);
  if (callRefLength_ == 1) {
    out.push_back(static_cast<std::uint8_t>((fromDestination_ ? 0x80 : 0) | (callReference_ & 0x7f)));
  } else if (callRefLength_ == 2) {
    out.push_back(static_cast<std::uint8_t>((fromDestination_ ? 0x80 : 0) | ((callReference_ >> 8) & 0x7f)));
    out.push_back(static_cast<std::uint8_t>(callReference_ & 0xff));
  }
  out.push_back(type_);
  for (const InformationElement& ie : elements_) {
    out.push_back(ie.id);
    if (SingleOctet(ie.id)) continue;
    if (ie.id == IeUserUser) out.push_back(static_cast<std::uint8_t>(ie.contents.size() >> 8));
    out.push_back(static_cast<std::uint8_t>(ie.contents.size() & 0xff));
    out.insert(out.end(), ie.contents.begin(), ie.contents.end());
  }
  return out;
}

const InformationElement* Q931Message::Find(std::uint8_t id) const {
  for (const InformationElement& ie : elements_)
    if (ie.id == id) return &ie;
  return nullptr;
}

void Q931Message::Set(std::uint8_t id, std::vector<std::uint8_t> contents) {
  std::size_t max = id == IeUserUser ? 65535 : SingleOctet(id) ? 0 : 255;
  if (contents.size() > max) throw std::length_error("Q.931 element too long");
  for (InformationElement& ie : elements_) {
    if (ie.id == id) {
      ie.contents = std::move(contents);
      return;
    }
  }
  // Variable-length elements go in ascending order of identifiers; single-octet ones stay put.
  auto at = std::find_if(elements_.begin(), elements_.end(),
                         [&](const InformationElement& ie) { return !SingleOctet(ie.id) && ie.id > id; });
  elements_.insert(at, InformationElement{id, std::move(contents)});
}

void Q931Message::Remove(std::uint8_t id) {
  std::erase_if(elements_, [&](const InformationElement& ie) { return ie.id == id; });
}

std::optional<BearerCapability> Q931Message::BearerCapability() const {
  const InformationElement* ie = Find(IeBearerCapability);
  return ie ? q931::BearerCapability::Decode(ie->contents) : std::nullopt;
}
void Q931Message::SetBearerCapability(const q931::BearerCapability& b) { Set(IeBearerCapability, b.Encode()); }

std::optional<Cause> Q931Message::Cause() const {
  const InformationElement* ie = Find(IeCause);
  return ie ? q931::Cause::Decode(ie->contents) : std::nullopt;
}
void Q931Message::SetCause(const q931::Cause& c) { Set(IeCause, c.Encode()); }

std::optional<ProgressIndicator> Q931Message::ProgressIndicator() const {
  const InformationElement* ie = Find(IeProgressIndicator);
  return ie ? q931::ProgressIndicator::Decode(ie->contents) : std::nullopt;
}
void Q931Message::SetProgressIndicator(const q931::ProgressIndicator& p) { Set(IeProgressIndicator, p.Encode()); }

std::optional<std::string> Q931Message::Display() const {
  const InformationElement* ie = Find(IeDisplay);
  if (!ie) return std::nullopt;
  std::string s = TextOf(ie->contents);
  if (!s.empty() && s.back() == '\0') s.pop_back();  // some peers send it NUL-terminated
  return s;
}
void Q931Message::SetDisplay(std::string_view text) { Set(IeDisplay, BytesOf(text, 255)); }

std::optional<std::string> Q931Message::Keypad() const {
  const InformationElement* ie = Find(IeKeypadFacility);
  return ie ? std::optional(TextOf(ie->contents)) : std::nullopt;
}
void Q931Message::SetKeypad(std::string_view digits) { Set(IeKeypadFacility, BytesOf(digits, 255)); }

std::optional<std::uint8_t> Q931Message::Signal() const {
  const InformationElement* ie = Find(IeSignal);
  if (!ie || ie->contents.empty()) return std::nullopt;
  return ie->contents[0];
}
void Q931Message::SetSignal(std::uint8_t value) { Set(IeSignal, {value}); }

std::optional<PartyNumber> Q931Message::CallingPartyNumber() const {
  const InformationElement* ie = Find(IeCallingPartyNumber);
  return ie ? PartyNumber::Decode(ie->contents) : std::nullopt;
}
void Q931Message::SetCallingPartyNumber(const PartyNumber& n) { Set(IeCallingPartyNumber, n.Encode()); }

std::optional<PartyNumber> Q931Message::CalledPartyNumber() const {
  const InformationElement* ie = Find(IeCalledPartyNumber);
  return ie ? PartyNumber::Decode(ie->contents) : std::nullopt;
}
void Q931Message::SetCalledPartyNumber(const PartyNumber& n) { Set(IeCalledPartyNumber, n.Encode()); }

std::optional<std::vector<std::uint8_t>> Q931Message::UserUser() const {
  const InformationElement* ie = Find(IeUserUser);
  if (!ie || ie->contents.empty() || ie->contents[0] != kUserUserX208) return std::nullopt;
  return std::vector<std::uint8_t>(ie->contents.begin() + 1, ie->contents.end());
}

void Q931Message::SetUserUser(std::span<const std::uint8_t> h323UserInformation) {
  std::vector<std::uint8_t> c;
  c.reserve(h323UserInformation.size() + 1);
  c.push_back(kUserUserX208);
  c.insert(c.end(), h323UserInformation.begin(), h323UserInformation.end());
  Set(IeUserUser, std::move(c));
}

const char* MessageTypeName(std::uint8_t type) {
  switch (type) {
    case Q931Message::Alerting: return "Alerting";
    case Q931Message::CallProceeding: return "CallProceeding";
    case Q931Message::Progress: return "Progress";
    case Q931Message::Setup: return "Setup";
    case Q931Message::Connect: return "Connect";
    case Q931Message::SetupAcknowledge: return "SetupAcknowledge";
    case Q931Message::ConnectAcknowledge: return "ConnectAcknowledge";
    case Q931Message::ReleaseComplete: return "ReleaseComplete";
    case Q931Message::Facility: return "Facility";
    case Q931Message::Notify: return "Notify";
    case Q931Message::StatusEnquiry: return "StatusEnquiry";
    case Q931Message::Information: return "Information";
    case Q931Message::Status: return "Status";
  }
  return "Unknown";
}

}  // namespace vantro::q931
