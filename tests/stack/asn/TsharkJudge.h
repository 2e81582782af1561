#pragma once
// tshark as an independent judge of our encodings: RAS messages go over UDP 1719, call signalling
// as TPKT over TCP (which tshark's Q.931 heuristic finds), and tshark's dissection is read back
// field by field.

#include "tests/support/Tshark.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vantro::test {

class TsharkJudge {
 public:
  // available() is false when tshark or text2pcap is missing.
  bool available() const { return tshark_.Available(); }

  // One packet's fields: field name to the values tshark printed (comma-separated when repeated).
  using Fields = Tshark::Fields;

  // Dissects UDP datagrams to port 1719 / TCP segments (each a whole TPKT) to port 1720.
  std::vector<Fields> ras(const std::vector<std::vector<std::uint8_t>>& datagrams,
                          const std::vector<std::string>& fields);
  std::vector<Fields> signalling(const std::vector<std::vector<std::uint8_t>>& segments,
                                 const std::vector<std::string>& fields);
  // tshark's full text dissection of the same packets ("-V"), for malformed-packet checks.
  std::string verbose(const std::vector<std::vector<std::uint8_t>>& packets, bool tcp);

 private:
  static const char* Ports(bool tcp) { return tcp ? "-T 40000,1720" : "-u 1719,1719"; }

  Tshark tshark_;
};

}  // namespace vantro::test
