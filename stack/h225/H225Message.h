#pragma once
// A call signalling message: its Q.931 frame and the H323-UserInformation in its user-user
// element, with the fields that several message bodies share (fast start, H.245 address, tunnelled
// H.245, call identifier) read and written the same way whatever the body.
//
// Reading never throws: a field that is absent or of another kind reads as absent.

#include "stack/asn/H323Values.h"
#include "stack/asn/Value.h"
#include "stack/q931/Q931Message.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantro::h225 {

using Octets = std::vector<std::uint8_t>;

class H225Message {
 public:
  // The body alternative of a message without an H323-UserInformation.
  static constexpr std::uint16_t kNoBody = 0xffff;

  H225Message() = default;
  // A message of a Q.931 type with an H323-UserInformation whose body is the given
  // H323_UU_PDU_h323_message_body alternative (its protocol identifier set when it has one).
  H225Message(std::uint8_t q931Type, std::uint16_t callReference, bool fromDestination, std::uint16_t body);

  // Reads a TPKT payload. nullopt when the Q.931 frame is malformed; a user-user element that is
  // not an H323-UserInformation leaves the message without one (the reason in *error).
  static std::optional<H225Message> Decode(std::span<const std::uint8_t> bytes, std::string* error = nullptr);
  // The whole message; nullopt when the H323-UserInformation does not encode.
  std::optional<Octets> Encode(std::string* error = nullptr) const;

  q931::Q931Message& Q931() { return q931_; }
  const q931::Q931Message& Q931() const { return q931_; }
  std::uint8_t Type() const { return q931_.Type(); }
  std::uint16_t CallReference() const { return q931_.CallReference(); }

  bool HasUuie() const { return hasUuie_; }
  std::uint16_t BodyType() const;
  // The body's UUIE (an empty NULL for the body "empty"). Only with HasUuie().
  const asn::Value& Body() const;
  asn::Value& Body();
  const asn::Value& Pdu() const;
  asn::Value& Pdu();

  // A component of the body by name ("fastStart", "h245Address", ...); nullptr when the body has
  // no such component or it is absent.
  const asn::Value* BodyField(std::string_view name) const;
  // Sets one; false when the body has no component of that name.
  asn::Value* SetBodyField(std::string_view name);

  std::vector<Octets> FastStart() const;
  void SetFastStart(const std::vector<Octets>& elements);
  bool FastConnectRefused() const;
  void SetFastConnectRefused();
  std::optional<asn::Ipv4Address> H245Address() const;
  void SetH245Address(const asn::Ipv4Address& address);
  // The call identifier's 16 octets; empty when absent.
  std::string CallIdentifier() const;
  // The display and keypad elements as text: up to a NUL (some peers end them with one), control
  // characters dropped; empty when absent.
  std::string Display() const;
  std::string Keypad() const;

  // h245Tunneling of the PDU; nullopt without an H323-UserInformation.
  std::optional<bool> Tunnelling() const;
  void SetTunnelling(bool tunnelling);
  std::vector<Octets> H245Control() const;
  void AddH245Control(std::span<const std::uint8_t> message);
  std::size_t H245ControlCount() const;

 private:
  q931::Q931Message q931_;
  asn::Value uu_;
  bool hasUuie_ = false;
};

// "192.0.2.7:1720", for logs and the API.
std::string AddressText(const asn::Ipv4Address& address);

// "setup", "connect", ... for logs; "Q.931 <type name>" without an H323-UserInformation.
std::string DescribeMessage(const H225Message& message);

}  // namespace vantro::h225
