#include "tests/stack/asn/TsharkJudge.h"

namespace vantro::test {

std::vector<TsharkJudge::Fields> TsharkJudge::ras(const std::vector<std::vector<std::uint8_t>>& datagrams,
                                                  const std::vector<std::string>& names) {
  return tshark_.Read(tshark_.Pcap(datagrams, Ports(false)), "", names);
}

std::vector<TsharkJudge::Fields> TsharkJudge::signalling(const std::vector<std::vector<std::uint8_t>>& segments,
                                                         const std::vector<std::string>& names) {
  return tshark_.Read(tshark_.Pcap(segments, Ports(true)), "", names);
}

std::string TsharkJudge::verbose(const std::vector<std::vector<std::uint8_t>>& packets, bool tcp) {
  return tshark_.Verbose(tshark_.Pcap(packets, Ports(tcp)));
}

}  // namespace vantro::test
