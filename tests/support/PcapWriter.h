#pragma once
// A capture file made from packets a test saw (raw IPv4 with TCP headers around each payload, in
// the order given), so that tshark reads a test's call as it reads a real capture: each connection
// by its own ports, separate H.245 followed through the addresses the signalling announced.

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
  // One TCP segment from one address to another carrying payload.
  void Add(const asn::Ipv4Address& from, const asn::Ipv4Address& to, std::span<const std::uint8_t> payload);
  std::size_t Size() const { return packets_.size(); }
  // Writes the file; false when it cannot.
  bool Write(const std::string& path) const;

 private:
  std::vector<std::vector<std::uint8_t>> packets_;
  std::map<std::tuple<std::uint32_t, std::uint16_t, std::uint32_t, std::uint16_t>, std::uint32_t> sequence_;
};

}  // namespace vantro::test
