#pragma once
// The party a call is placed to, as the user or a program writes it:
//   "5550100@"            an alias the gatekeeper resolves
//   "5550100@host[:port]" that address directly, the alias as the called party
//   "host[:port]"         that address, without an alias
// A party without "@" that is no host name or address (a number, say) counts as an alias.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantro::h225 {

inline constexpr std::uint16_t kDefaultSignallingPort = 1720;

struct CallTarget {
  std::string alias;  // empty: none
  std::string host;   // empty: the gatekeeper resolves the alias
  std::uint16_t port = kDefaultSignallingPort;
  bool operator==(const CallTarget&) const = default;
};

// nullopt for a party that names neither an alias nor an address.
std::optional<CallTarget> ParseCallTarget(std::string_view party);

}  // namespace vantro::h225
