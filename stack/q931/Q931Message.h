#pragma once
// A Q.931 message as H.225.0 call signalling uses it: protocol discriminator, call reference,
// message type and the information elements in the order they came. Elements this code has no
// typed form for are kept as they are, so a message re-encodes to the octets it was read from.
//
//   Q931Message setup(Q931Message::Setup, callReference);
//   setup.SetBearerCapability(BearerCapability::speech());
//   setup.SetCalledPartyNumber({.digits = "5550100"});
//   setup.SetUserUser(*asn::Encode(h323UserInformation));
//   std::vector<std::uint8_t> bytes = setup.Encode();

#include "stack/q931/InformationElements.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vantro::q931 {

struct InformationElement {
  std::uint8_t id = 0;  // single-octet elements (id >= 0x80) carry no contents
  std::vector<std::uint8_t> contents;
  bool operator==(const InformationElement&) const = default;
};

class Q931Message {
 public:
  enum Type : std::uint8_t {
    Alerting = 0x01,
    CallProceeding = 0x02,
    Progress = 0x03,
    Setup = 0x05,
    Connect = 0x07,
    SetupAcknowledge = 0x0d,
    ConnectAcknowledge = 0x0f,
    ReleaseComplete = 0x5a,
    Facility = 0x62,
    Notify = 0x6e,
    StatusEnquiry = 0x75,
    Information = 0x7b,
    Status = 0x7d,
  };

  enum Ie : std::uint8_t {
    IeBearerCapability = 0x04,
    IeCause = 0x08,
    IeFacility = 0x1c,
    IeProgressIndicator = 0x1e,
    IeNotificationIndicator = 0x27,
    IeDisplay = 0x28,
    IeSignal = 0x34,
    IeKeypadFacility = 0x2c,
    IeCallingPartyNumber = 0x6c,
    IeCalledPartyNumber = 0x70,
    IeUserUser = 0x7e,
    IeSendingComplete = 0xa1,
  };

  static constexpr std::uint8_t kProtocolDiscriminator = 0x08;
  static constexpr std::uint8_t kUserUserX208 = 0x05;  // user-user protocol: X.208/X.209 coded

  Q931Message() = default;
  Q931Message(std::uint8_t type, std::uint16_t callReference, bool fromDestination = false)
      : type_(type), callReference_(callReference), fromDestination_(fromDestination) {}

  // Reads one message (a TPKT payload). std::nullopt for anything malformed or truncated; the
  // reason goes to *error when given.
  static std::optional<Q931Message> Decode(std::span<const std::uint8_t> bytes, std::string* error = nullptr);
  std::vector<std::uint8_t> Encode() const;

  std::uint8_t Type() const { return type_; }
  void SetType(std::uint8_t t) { type_ = t; }
  std::uint8_t ProtocolDiscriminator() const { return protocol_; }
  std::uint16_t CallReference() const { return callReference_; }
  void SetCallReference(std::uint16_t ref) { callReference_ = ref; }
  // The call reference flag: set in messages sent by the side that did not allocate the reference.
  bool FromDestination() const { return fromDestination_; }
  void SetFromDestination(bool f) { fromDestination_ = f; }

  const std::vector<InformationElement>& Elements() const { return elements_; }
  const InformationElement* Find(std::uint8_t id) const;
  // Replaces the element with this id, or inserts it in ascending order of identifiers.
  void Set(std::uint8_t id, std::vector<std::uint8_t> contents);
  void Remove(std::uint8_t id);

  std::optional<q931::BearerCapability> BearerCapability() const;
  void SetBearerCapability(const q931::BearerCapability& b);
  std::optional<q931::Cause> Cause() const;
  void SetCause(const q931::Cause& c);
  std::optional<q931::ProgressIndicator> ProgressIndicator() const;
  void SetProgressIndicator(const q931::ProgressIndicator& p);
  std::optional<std::string> Display() const;
  void SetDisplay(std::string_view text);
  std::optional<std::string> Keypad() const;
  void SetKeypad(std::string_view digits);
  std::optional<std::uint8_t> Signal() const;
  void SetSignal(std::uint8_t value);
  std::optional<PartyNumber> CallingPartyNumber() const;
  void SetCallingPartyNumber(const PartyNumber& n);
  std::optional<PartyNumber> CalledPartyNumber() const;
  void SetCalledPartyNumber(const PartyNumber& n);
  // The H323-UserInformation octets of the user-user element (X.208/X.209 protocol).
  std::optional<std::vector<std::uint8_t>> UserUser() const;
  void SetUserUser(std::span<const std::uint8_t> h323UserInformation);

  bool operator==(const Q931Message&) const = default;

 private:
  std::uint8_t protocol_ = kProtocolDiscriminator;
  std::uint8_t type_ = 0;
  std::uint8_t callRefLength_ = 2;
  std::uint16_t callReference_ = 0;
  bool fromDestination_ = false;
  std::vector<InformationElement> elements_;
};

const char* MessageTypeName(std::uint8_t type);

}  // namespace vantro::q931
