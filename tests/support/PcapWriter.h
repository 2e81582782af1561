#pragma once
// A capture file of the TCP payloads a test saw (raw IPv4 and TCP headers around each, in the order
// given), so that tshark reads a test's call as it reads a real capture: each connection by its own
// ports, separate H.245 followed through the addresses the signalling announced.

#include "stack/asn/H323Values.h"

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <tuple>
#include <vector>

namespace vantro::test {

class PcapWriter {
 public:
  void Add(const asn::Ipv4Address& from, const asn::Ipv4Address& to, std::span<const std::uint8_t> payload);
  std::size_t Size() const { return packets_.size(); }
  // False when the file cannot be written.
  bool Write(const std::string& path) const;

 private:
  std::vector<std::vector<std::uint8_t>> packets_;
  std::map<std::tuple<std::uint32_t, std::uint16_t, std::uint32_t, std::uint16_t>, std::uint32_t> sequence_;
};

}  // namespace vantro::test
