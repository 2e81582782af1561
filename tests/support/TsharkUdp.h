#pragma once
// tshark as an independent judge of UDP datagrams we send: they go into a capture file between two
// ports of 127.0.0.1, tshark decodes them as the protocol named (RTP, RTCP) and its fields are
// read back, one map per packet (repeated fields comma-separated).

#include "tests/support/Tshark.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vantro::test {

class TsharkUdp {
 public:
  using Fields = Tshark::Fields;
  // False when tshark or text2pcap is not on the PATH.
  bool Available() const { return tshark_.Available(); }

  std::vector<Fields> Dissect(const std::vector<std::vector<std::uint8_t>>& datagrams, std::uint16_t sourcePort,
                              std::uint16_t destinationPort, const std::string& protocol,
                              const std::vector<std::string>& fields);

 private:
  Tshark tshark_;
};

}  // namespace vantro::test
