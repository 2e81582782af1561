#include "tests/support/TsharkUdp.h"

namespace vantro::test {

std::vector<TsharkUdp::Fields> TsharkUdp::Dissect(const std::vector<std::vector<std::uint8_t>>& datagrams,
                                                  std::uint16_t sourcePort, std::uint16_t destinationPort,
                                                  const std::string& protocol, const std::vector<std::string>& fields) {
  const std::string ports = std::to_string(sourcePort) + "," + std::to_string(destinationPort);
  return tshark_.Read(tshark_.Pcap(datagrams, "-u " + ports),
                      " -d udp.port==" + std::to_string(destinationPort) + "," + protocol, fields);
}

}  // namespace vantro::test
