#include "stack/ras/HostResolver.h"

#include "stack/ras/TransportAddress.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace vantro::ras {

namespace {

struct LookUp {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  std::optional<Ipv4> address;
};

std::optional<Ipv4> GetAddress(const std::string& host, int flags) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_flags = flags;
  addrinfo* list = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || !list) return std::nullopt;
  std::optional<Ipv4> out;
  for (addrinfo* ai = list; ai && !out; ai = ai->ai_next) {
    if (ai->ai_family != AF_INET) continue;
    const auto* sin = reinterpret_cast<const sockaddr_in*>(ai->ai_addr);
    const auto* b = reinterpret_cast<const std::uint8_t*>(&sin->sin_addr.s_addr);
    out = Ipv4{b[0], b[1], b[2], b[3]};
  }
  freeaddrinfo(list);
  return out;
}

}  // namespace

std::optional<Ipv4> ResolveIpv4(const std::string& host, std::chrono::milliseconds timeout,
                                const std::atomic<bool>* abort) {
  if (IsIpv4Literal(host)) return GetAddress(host, AI_NUMERICHOST);
  auto lookUp = std::make_shared<LookUp>();
  try {
    std::thread([lookUp, host] {
      auto address = GetAddress(host, 0);
      std::lock_guard lock(lookUp->mutex);
      lookUp->address = address;
      lookUp->finished = true;
      lookUp->done.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return std::nullopt;
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::unique_lock lock(lookUp->mutex);
  while (!lookUp->finished) {
    if (abort && abort->load()) return std::nullopt;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return std::nullopt;
    // Wake now and then to see the abort flag.
    lookUp->done.wait_for(lock,
                          std::min<std::chrono::steady_clock::duration>(deadline - now, std::chrono::milliseconds(50)));
  }
  return lookUp->address;
}

}  // namespace vantro::ras
