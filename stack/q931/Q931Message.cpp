#include "stack/q931/Q931Message.h"

#include <algorithm>
#include <stdexcept>

namespace vantro::q931 {

namespace {

bool singleOctet(std::uint8_t id) { return id & 0x80; }

std::optional<Q931Message> failWith(std::string* error, const char* why) {
  if (error) *error = why;
  return std::nullopt;
}

std::string textOf(const std::vector<std::uint8_t>& c) { return std::string(c.begin(), c.end()); }

std::vector<std::uint8_t> bytesOf(std::string_view s, std::size_t max) {
  s = s.substr(0, max);
  return std::vector<std::uint8_t>(s.begin(), s.end());
}

}  // namespace

std::optional<Q931Message> Q931Message::decode(std::span<const std::uint8_t> b, std::string* error) {
  if (b.size() < 3) return failWith(error, "shorter than a Q.931 header");
  Q931Message m;
  m.protocol_ = b[0];
  if (m.protocol_ != kProtocolDiscriminator) return failWith(error, "not a Q.931 protocol discriminator");
  if (b[1] & 0xf0) return failWith(error, "malformed call reference length");
  m.callRefLength_ = b[1] & 0x0f;
  if (m.callRefLength_ > 2) return failWith(error, "call reference longer than two octets");
  std::size_t i = 2;
  if (b.size() < i + m.callRefLength_ + 1) return failWith(error, "truncated call reference");
  if (m.callRefLength_ > 0) {
    m.fromDestination_ = b[i] & 0x80;
    std::uint16_t ref = b[i] & 0x7f;
    if (m.callRefLength_ == 2) ref = static_cast<std::uint16_t>(ref << 8 | b[i + 1]);
    m.callReference_ = ref;
    i += m.callRefLength_;
  }
  m.type_ = b[i++];
  if (m.type_ & 0x80) return failWith(error, "unknown message type escape");
  while (i < b.size()) {
    InformationElement ie;
    ie.id = b[i++];
    if (!singleOctet(ie.id)) {
      std::size_t len;
      if (ie.id == IeUserUser) {
        if (b.size() - i < 2) return failWith(error, "truncated element length");
        len = static_cast<std::size_t>(b[i]) << 8 | b[i + 1];
        i += 2;
      } else {
        if (b.size() - i < 1) return failWith(error, "truncated element length");
        len = b[i++];
      }
      if (b.size() - i < len) return failWith(error, "element longer than the message");
      ie.contents.assign(b.begin() + static_cast<std::ptrdiff_t>(i), b.begin() + static_cast<std::ptrdiff_t>(i + len));
      i += len;
    }
    m.elements_.push_back(std::move(ie));
  }
  return m;
}

std::vector<std::uint8_t> Q931Message::encode() const {
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
    if (singleOctet(ie.id)) continue;
    if (ie.id == IeUserUser) out.push_back(static_cast<std::uint8_t>(ie.contents.size() >> 8));
    out.push_back(static_cast<std::uint8_t>(ie.contents.size() & 0xff));
    out.insert(out.end(), ie.contents.begin(), ie.contents.end());
  }
  return out;
}

const InformationElement* Q931Message::find(std::uint8_t id) const {
  for (const InformationElement& ie : elements_)
    if (ie.id == id) return &ie;
  return nullptr;
}

void Q931Message::set(std::uint8_t id, std::vector<std::uint8_t> contents) {
  std::size_t max = id == IeUserUser ? 65535 : singleOctet(id) ? 0 : 255;
  if (contents.size() > max) throw std::length_error("Q.931 element too long");
  for (InformationElement& ie : elements_) {
    if (ie.id == id) {
      ie.contents = std::move(contents);
      return;
    }
  }
  // Variable-length elements go in ascending order of identifiers; single-octet ones stay put.
  auto at = std::find_if(elements_.begin(), elements_.end(),
                         [&](const InformationElement& ie) { return !singleOctet(ie.id) && ie.id > id; });
  elements_.insert(at, InformationElement{id, std::move(contents)});
}

void Q931Message::remove(std::uint8_t id) {
  std::erase_if(elements_, [&](const InformationElement& ie) { return ie.id == id; });
}

std::optional<BearerCapability> Q931Message::bearerCapability() const {
  const InformationElement* ie = find(IeBearerCapability);
  return ie ? BearerCapability::decode(ie->contents) : std::nullopt;
}
void Q931Message::setBearerCapability(const BearerCapability& b) { set(IeBearerCapability, b.encode()); }

std::optional<Cause> Q931Message::cause() const {
  const InformationElement* ie = find(IeCause);
  return ie ? Cause::decode(ie->contents) : std::nullopt;
}
void Q931Message::setCause(const Cause& c) { set(IeCause, c.encode()); }

std::optional<ProgressIndicator> Q931Message::progressIndicator() const {
  const InformationElement* ie = find(IeProgressIndicator);
  return ie ? ProgressIndicator::decode(ie->contents) : std::nullopt;
}
void Q931Message::setProgressIndicator(const ProgressIndicator& p) { set(IeProgressIndicator, p.encode()); }

std::optional<std::string> Q931Message::display() const {
  const InformationElement* ie = find(IeDisplay);
  if (!ie) return std::nullopt;
  std::string s = textOf(ie->contents);
  if (!s.empty() && s.back() == '\0') s.pop_back();  // some peers send it NUL-terminated
  return s;
}
void Q931Message::setDisplay(std::string_view text) { set(IeDisplay, bytesOf(text, 255)); }

std::optional<std::string> Q931Message::keypad() const {
  const InformationElement* ie = find(IeKeypadFacility);
  return ie ? std::optional(textOf(ie->contents)) : std::nullopt;
}
void Q931Message::setKeypad(std::string_view digits) { set(IeKeypadFacility, bytesOf(digits, 255)); }

std::optional<std::uint8_t> Q931Message::signal() const {
  const InformationElement* ie = find(IeSignal);
  if (!ie || ie->contents.empty()) return std::nullopt;
  return ie->contents[0];
}
void Q931Message::setSignal(std::uint8_t value) { set(IeSignal, {value}); }

std::optional<PartyNumber> Q931Message::callingPartyNumber() const {
  const InformationElement* ie = find(IeCallingPartyNumber);
  return ie ? PartyNumber::decode(ie->contents) : std::nullopt;
}
void Q931Message::setCallingPartyNumber(const PartyNumber& n) { set(IeCallingPartyNumber, n.encode()); }

std::optional<PartyNumber> Q931Message::calledPartyNumber() const {
  const InformationElement* ie = find(IeCalledPartyNumber);
  return ie ? PartyNumber::decode(ie->contents) : std::nullopt;
}
void Q931Message::setCalledPartyNumber(const PartyNumber& n) { set(IeCalledPartyNumber, n.encode()); }

std::optional<std::vector<std::uint8_t>> Q931Message::userUser() const {
  const InformationElement* ie = find(IeUserUser);
  if (!ie || ie->contents.empty() || ie->contents[0] != kUserUserX208) return std::nullopt;
  return std::vector<std::uint8_t>(ie->contents.begin() + 1, ie->contents.end());
}

void Q931Message::setUserUser(std::span<const std::uint8_t> h323UserInformation) {
  std::vector<std::uint8_t> c;
  c.reserve(h323UserInformation.size() + 1);
  c.push_back(kUserUserX208);
  c.insert(c.end(), h323UserInformation.begin(), h323UserInformation.end());
  set(IeUserUser, std::move(c));
}

const char* messageTypeName(std::uint8_t type) {
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
