#pragma once
// tshark as an independent judge of UDP datagrams we send: they are written into a pcap file as
// IPv4 packets between two ports of 127.0.0.1, tshark decodes them as the protocol named (RTP,
// RTCP) and its fields are read back, one map per packet (repeated fields comma-separated).

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vantro::test {

class TsharkUdp {
 public:
  using Fields = std::map<std::string, std::string>;
  TsharkUdp();
  ~TsharkUdp();
  TsharkUdp(const TsharkUdp&) = delete;
  TsharkUdp& operator=(const TsharkUdp&) = delete;
  // False when tshark is not on the PATH.
  bool Available() const { return !tshark_.empty(); }

  std::vector<Fields> Dissect(const std::vector<std::vector<std::uint8_t>>& datagrams, std::uint16_t sourcePort,
                              std::uint16_t destinationPort, const std::string& protocol,
                              const std::vector<std::string>& fields);

 private:
  std::string WritePcap(const std::vector<std::vector<std::uint8_t>>& datagrams, std::uint16_t sourcePort,
                        std::uint16_t destinationPort);

  std::string tshark_;
  std::string folder_;
  int files_ = 0;
};

}  // namespace vantro::test
