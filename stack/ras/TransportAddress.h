#pragma once
// Addresses as people type them: a gatekeeper ("gk.example.net", "192.0.2.7:1719") and listener
// interfaces ("*:1737", "127.0.0.1:0").

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantro::ras {

inline constexpr std::uint16_t kDefaultRasPort = 1719;

struct HostAndPort {
  std::string host;  // a dotted IPv4 address or a host name; "*" for every interface
  std::uint16_t port = 0;
  bool operator==(const HostAndPort&) const = default;
};

// "host" or "host:port" with blanks around it; the port defaults to defaultPort. The host is an
// IPv4 address in dotted form or a host name (letters, digits, hyphens and dots, labels of at most
// 63 characters, 253 in all). Anything else (empty text, a bad port, an IPv6 address, a string of
// digits and dots that is no IPv4 address) gives nullopt.
std::optional<HostAndPort> ParseHostAndPort(std::string_view text, std::uint16_t defaultPort);

// A listener interface: "*:port" (every interface) or "a.b.c.d:port"; port 0 lets the system
// choose. The port must be given.
std::optional<HostAndPort> ParseListenerInterface(std::string_view text);

// True for a dotted IPv4 address of four numbers 0 to 255.
bool IsIpv4Literal(std::string_view host);

}  // namespace vantro::ras
