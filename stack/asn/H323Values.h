#pragma once
// Helpers for the values that nearly every H.225.0 and H.245 message carries: IPv4 transport
// addresses (both modules' forms), aliases and protocol identifiers.

#include "stack/asn/Value.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantro::asn {

struct Ipv4Address {
  std::array<std::uint8_t, 4> ip{};
  std::uint16_t port = 0;
  bool operator==(const Ipv4Address&) const = default;
};

// H.225.0 version 7 and H.245 version 13, which current peers announce.
inline constexpr std::array<std::uint32_t, 6> kH225ProtocolIdentifier{0, 0, 8, 2250, 0, 7};
inline constexpr std::array<std::uint32_t, 6> kH245ProtocolIdentifier{0, 0, 8, 245, 0, 13};

// Sets an H.225.0 TransportAddress (ipAddress) or an H.245 TransportAddress
// (unicastAddress.iPAddress) to an IPv4 address and port; returns the address value.
Value& SetIpv4(Value& transportAddress, const Ipv4Address& address);
// The IPv4 address of either form, or std::nullopt for any other kind of address.
std::optional<Ipv4Address> Ipv4(const Value& transportAddress);

// An H.225.0 AliasAddress: dialedDigits for a number ("0123456789#*,", 1 to 128 characters),
// h323-ID (BMPString) for anything else.
Value& SetAlias(Value& aliasAddress, std::string_view alias);
// The text of a dialedDigits, h323-ID, url-ID or email-ID alias; empty for other kinds.
std::string AliasText(const Value& aliasAddress);

}  // namespace vantro::asn
