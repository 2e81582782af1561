#pragma once
// tshark as an independent judge of our encodings: messages are written into a pcap file with
// text2pcap (RAS over UDP 1719, call signalling as TPKT over TCP, which tshark's Q.931 heuristic
// finds) and tshark's dissection is read back field by field.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vantro::test {

class TsharkJudge {
 public:
  // Finds tshark and text2pcap on the PATH; available() is false when either is missing.
  TsharkJudge();
  ~TsharkJudge();
  TsharkJudge(const TsharkJudge&) = delete;
  TsharkJudge& operator=(const TsharkJudge&) = delete;
  bool available() const { return !tshark_.empty() && !text2pcap_.empty(); }

  // One packet's fields: field name to the values tshark printed (comma-separated when repeated).
  using Fields = std::map<std::string, std::string>;

  // Dissects UDP datagrams to port 1719 / TCP segments (each a whole TPKT) to port 1720.
  std::vector<Fields> ras(const std::vector<std::vector<std::uint8_t>>& datagrams,
                          const std::vector<std::string>& fields);
  std::vector<Fields> signalling(const std::vector<std::vector<std::uint8_t>>& segments,
                                 const std::vector<std::string>& fields);
  // tshark's full text dissection of the same packets ("-V"), for malformed-packet checks.
  std::string verbose(const std::vector<std::vector<std::uint8_t>>& packets, bool tcp);

 private:
  std::string pcap(const std::vector<std::vector<std::uint8_t>>& packets, bool tcp);
  std::vector<Fields> fields(const std::string& pcapPath, const std::vector<std::string>& names);

  std::string tshark_;
  std::string text2pcap_;
  std::string dir_;
  int files_ = 0;
};

}  // namespace vantro::test
