#include "stack/asn/H323Values.h"

#include "stack/asn/generated/H225.h"
#include "stack/asn/generated/H245.h"

#include <stdexcept>

namespace vantro::asn {

namespace {

std::string_view octetsOf(const std::array<std::uint8_t, 4>& ip) {
  return {reinterpret_cast<const char*>(ip.data()), ip.size()};
}

std::optional<Ipv4Address> fromParts(const Value& ip, const Value& port) {
  if (ip.bytes().size() != 4) return std::nullopt;
  Ipv4Address a;
  for (std::size_t i = 0; i < 4; ++i) a.ip[i] = static_cast<std::uint8_t>(ip.bytes()[i]);
  a.port = static_cast<std::uint16_t>(port.integer());
  return a;
}

}  // namespace

Value& setIpv4(Value& ta, const Ipv4Address& address) {
  if (ta.type() == h225::TransportAddress::Id) {
    Value& ip = ta.select(h225::TransportAddress::ipAddress);
    ip.field(h225::TransportAddress_ipAddress::ip).setBytes(octetsOf(address.ip));
    ip.field(h225::TransportAddress_ipAddress::port).setInteger(address.port);
    return ip;
  }
  if (ta.type() == h245::TransportAddress::Id) {
    Value& ip = ta.select(h245::TransportAddress::unicastAddress).select(h245::UnicastAddress::iPAddress);
    ip.field(h245::UnicastAddress_iPAddress::network).setBytes(octetsOf(address.ip));
    ip.field(h245::UnicastAddress_iPAddress::tsapIdentifier).setInteger(address.port);
    return ip;
  }
  throw std::logic_error(std::string("setIpv4: not a TransportAddress: ") + ta.typeName());
}

std::optional<Ipv4Address> ipv4(const Value& ta) {
  if (ta.type() == h225::TransportAddress::Id) {
    if (!ta.is(h225::TransportAddress::ipAddress)) return std::nullopt;
    const Value& ip = ta.alternative();
    return fromParts(ip[h225::TransportAddress_ipAddress::ip], ip[h225::TransportAddress_ipAddress::port]);
  }
  if (ta.type() == h245::TransportAddress::Id) {
    if (!ta.is(h245::TransportAddress::unicastAddress)) return std::nullopt;
    const Value& u = ta.alternative();
    if (!u.is(h245::UnicastAddress::iPAddress)) return std::nullopt;
    const Value& ip = u.alternative();
    return fromParts(ip[h245::UnicastAddress_iPAddress::network], ip[h245::UnicastAddress_iPAddress::tsapIdentifier]);
  }
  return std::nullopt;
}

Value& setAlias(Value& alias, std::string_view text) {
  bool digits =
      !text.empty() && text.size() <= 128 && text.find_first_not_of("0123456789#*,") == std::string_view::npos;
  if (digits) return alias.select(h225::AliasAddress::dialedDigits).setText(text);
  return alias.select(h225::AliasAddress::h323_ID).setText(text);
}

std::string aliasText(const Value& alias) {
  switch (alias.choice()) {
    case h225::AliasAddress::dialedDigits:
    case h225::AliasAddress::h323_ID:
    case h225::AliasAddress::url_ID:
    case h225::AliasAddress::email_ID: return alias.isUnknownAlternative() ? std::string() : alias.alternative().text();
    default: return {};
  }
}

}  // namespace vantro::asn
