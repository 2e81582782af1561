#pragma once
// Turns a gatekeeper's host name into an IPv4 address without tying the caller to the resolver:
// the look-up runs on a thread of its own, and the caller waits only until the answer, its time
// limit or an abort, whichever comes first. A look-up that outlives its caller finishes alone.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace vantro::ras {

using Ipv4 = std::array<std::uint8_t, 4>;

// The first IPv4 address of host (a dotted address is taken as it is, without a look-up);
// nullopt when there is none, the time runs out or *abort becomes true.
std::optional<Ipv4> ResolveIpv4(const std::string& host, std::chrono::milliseconds timeout,
                                const std::atomic<bool>* abort = nullptr);

}  // namespace vantro::ras
