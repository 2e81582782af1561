#include "stack/asn/H323Values.h"

#include "stack/asn/generated/H225.h"
#include "stack/asn/generated/H245.h"

#include <stdexcept>

namespace vantro::asn {

namespace {

std::string_view OctetsOf(const std::array<std::uint8_t, 4>& ip) {
  return {reinterpret_cast<const char*>(ip.data()), ip.size()};
}

std::optional<Ipv4Address> FromParts(const Value& ip, const Value& port) {
  if (ip.Bytes().size() != 4) return std::nullopt;
  Ipv4Address a;
  for (std::size_t i = 0; i < 4; ++i) a.ip[i] = static_cast<std::uint8_t>(ip.Bytes()[i]);
  a.port = static_cast<std::uint16_t>(port.Integer());
  return a;
}

}  // namespace

Value& SetIpv4(Value& ta, const Ipv4Address& address) {
  if (ta.Type() == h225::TransportAddress::Id) {
    Value& ip = ta.Select(h225::TransportAddress::ipAddress);
    ip.Field(h225::TransportAddress_ipAddress::ip).SetBytes(OctetsOf(address.ip));
    ip.Field(h225::TransportAddress_ipAddress::port).SetInteger(address.port);
    return ip;
  }
  if (ta.Type() == h245::TransportAddress::Id) {
    Value& ip = ta.Select(h245::TransportAddress::unicastAddress).Select(h245::UnicastAddress::iPAddress);
    ip.Field(h245::UnicastAddress_iPAddress::network).SetBytes(OctetsOf(address.ip));
    ip.Field(h245::UnicastAddress_iPAddress::tsapIdentifier).SetInteger(address.port);
    return ip;
  }
  throw std::logic_error(std::string("SetIpv4: not a TransportAddress: ") + ta.TypeName());
}

std::optional<Ipv4Address> Ipv4(const Value& ta) {
  if (ta.Type() == h225::TransportAddress::Id) {
    if (!ta.Is(h225::TransportAddress::ipAddress)) return std::nullopt;
    const Value& ip = ta.Alternative();
    return FromParts(ip[h225::TransportAddress_ipAddress::ip], ip[h225::TransportAddress_ipAddress::port]);
  }
  if (ta.Type() == h245::TransportAddress::Id) {
    if (!ta.Is(h245::TransportAddress::unicastAddress)) return std::nullopt;
    const Value& u = ta.Alternative();
    if (!u.Is(h245::UnicastAddress::iPAddress)) return std::nullopt;
    const Value& ip = u.Alternative();
    return FromParts(ip[h245::UnicastAddress_iPAddress::network], ip[h245::UnicastAddress_iPAddress::tsapIdentifier]);
  }
  return std::nullopt;
}

Value& SetAlias(Value& alias, std::string_view text) {
  bool digits =
      !text.empty() && text.size() <= 128 && text.find_first_not_of("0123456789#*,") == std::string_view::npos;
  if (digits) return alias.Select(h225::AliasAddress::dialedDigits).SetText(text);
  return alias.Select(h225::AliasAddress::h323_ID).SetText(text);
}

std::string AliasText(const Value& alias) {
  switch (alias.Choice()) {
    case h225::AliasAddress::dialedDigits:
    case h225::AliasAddress::h323_ID:
    case h225::AliasAddress::url_ID:
    case h225::AliasAddress::email_ID: return alias.IsUnknownAlternative() ? std::string() : alias.Alternative().Text();
    default: return {};
  }
}

}  // namespace vantro::asn
