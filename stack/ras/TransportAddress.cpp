#include "stack/ras/TransportAddress.h"

#include <cctype>

namespace vantro::ras {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

std::optional<std::uint16_t> ParsePort(std::string_view s, bool allowZero) {
  if (s.empty() || s.size() > 5) return std::nullopt;
  unsigned value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > 65535 || (value == 0 && !allowZero)) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

bool IsHostName(std::string_view s) {
  if (s.empty() || s.size() > 253) return false;
  bool onlyDigitsAndDots = true;
  std::size_t label = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '.') {
      if (label == 0) return false;
      label = 0;
      continue;
    }
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-') return false;
    if (c == '-' && (label == 0 || i + 1 == s.size() || s[i + 1] == '.')) return false;
    if (!std::isdigit(static_cast<unsigned char>(c))) onlyDigitsAndDots = false;
    if (++label > 63) return false;
  }
  // The resolver would read "10.1" or "167772161" as an address; only a full dotted quad is one.
  return !onlyDigitsAndDots;
}

// Splits "host:port" at its only colon; a text without a colon is all host.
bool Split(std::string_view text, std::string_view& host, std::optional<std::string_view>& port) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos) {
    host = text;
    return true;
  }
  if (text.find(':', colon + 1) != std::string_view::npos) return false;  // IPv6 and other forms
  host = text.substr(0, colon);
  port = text.substr(colon + 1);
  return true;
}

}  // namespace

bool IsIpv4Literal(std::string_view s) {
  int parts = 0;
  std::size_t i = 0;
  while (parts < 4) {
    std::size_t digits = 0;
    unsigned value = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && digits < 4) {
      value = value * 10 + static_cast<unsigned>(s[i] - '0');
      ++i;
      ++digits;
    }
    if (digits == 0 || digits > 3 || value > 255) return false;
    ++parts;
    if (parts < 4) {
      if (i >= s.size() || s[i] != '.') return false;
      ++i;
    }
  }
  return i == s.size();
}

std::optional<HostAndPort> ParseHostAndPort(std::string_view text, std::uint16_t defaultPort) {
  std::string_view host;
  std::optional<std::string_view> portText;
  if (!Split(Trim(text), host, portText)) return std::nullopt;
  if (!IsIpv4Literal(host) && !IsHostName(host)) return std::nullopt;
  HostAndPort out{std::string(host), defaultPort};
  if (portText) {
    auto port = ParsePort(*portText, false);
    if (!port) return std::nullopt;
    out.port = *port;
  }
  return out;
}

std::optional<HostAndPort> ParseListenerInterface(std::string_view text) {
  std::string_view host;
  std::optional<std::string_view> portText;
  if (!Split(Trim(text), host, portText) || !portText) return std::nullopt;
  if (host != "*" && !IsIpv4Literal(host)) return std::nullopt;
  auto port = ParsePort(*portText, true);
  if (!port) return std::nullopt;
  return HostAndPort{std::string(host), *port};
}

}  // namespace vantro::ras
