// Gatekeeper addresses and listener interfaces as users type them.
#include "stack/ras/TransportAddress.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantro::ras;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (auto a = ParseHostAndPort(text, kDefaultRasPort)) {
    // What is accepted is a whole host and a usable port.
    if (a->host.empty() || a->host.size() > 253 || a->port == 0) __builtin_trap();
    if (a->host.find_first_of(": \t") != std::string::npos) __builtin_trap();
  }
  if (auto l = ParseListenerInterface(text))
    if (l->host != "*" && !IsIpv4Literal(l->host)) __builtin_trap();
  (void)IsIpv4Literal(text);
  return 0;
}
