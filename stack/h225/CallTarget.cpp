#include "stack/h225/CallTarget.h"

#include "stack/ras/TransportAddress.h"

namespace vantro::h225 {

namespace {

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r\n");
  return s.substr(first, last - first + 1);
}

// An alias fits in an AliasAddress (dialedDigits or h323-ID) and has no blanks or control
// characters.
bool IsAlias(std::string_view s) {
  if (s.empty() || s.size() > 256) return false;
  for (unsigned char c : s)
    if (c <= ' ' || c == 0x7f) return false;
  return true;
}

}  // namespace

std::optional<CallTarget> ParseCallTarget(std::string_view party) {
  party = Trim(party);
  if (party.rfind("h323:", 0) == 0) party.remove_prefix(5);
  const auto at = party.rfind('@');
  CallTarget target;
  if (at == std::string_view::npos) {
    if (auto address = ras::ParseHostAndPort(party, kDefaultSignallingPort)) {
      target.host = address->host;
      target.port = address->port;
      return target;
    }
    if (!IsAlias(party)) return std::nullopt;
    target.alias = std::string(party);
    return target;
  }
  const std::string_view alias = Trim(party.substr(0, at));
  const std::string_view host = Trim(party.substr(at + 1));
  if (!alias.empty() && !IsAlias(alias)) return std::nullopt;
  target.alias = std::string(alias);
  if (host.empty()) {
    if (alias.empty()) return std::nullopt;
    return target;
  }
  auto address = ras::ParseHostAndPort(host, kDefaultSignallingPort);
  if (!address || address->host == "*") return std::nullopt;
  target.host = address->host;
  target.port = address->port;
  return target;
}

}  // namespace vantro::h225
