#pragma once
// tshark as the judge of what we send: text2pcap writes packets into a capture (between two ports
// of 127.0.0.1), and tshark's dissection is read back, one map per packet (field name to its
// values, comma-separated when repeated). Header-only, so that a judge needs nothing more to link.

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace vantro::test {

class Tshark {
 public:
  using Fields = std::map<std::string, std::string>;
  using Packets = std::vector<std::vector<std::uint8_t>>;

  // Available() is false when tshark or text2pcap is not on the PATH.
  Tshark() : tshark_(Which("tshark")), text2pcap_(Which("text2pcap")) {
    dir_ = (std::filesystem::temp_directory_path() / "vantro-tshark.XXXXXX").string();
    if (!Available())
      dir_.clear();
    else if (!mkdtemp(dir_.data()))
      throw std::runtime_error("no temporary folder");
  }
  ~Tshark() {
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  Tshark(const Tshark&) = delete;
  Tshark& operator=(const Tshark&) = delete;
  bool Available() const { return !tshark_.empty() && !text2pcap_.empty(); }

  // A capture of the packets; transport is text2pcap's option ("-u A,B" for UDP, "-T A,B" for TCP).
  std::string Pcap(const Packets& packets, const std::string& transport) {
    const std::string base = dir_ + "/p" + std::to_string(files_++);
    std::ofstream text(base + ".txt");
    for (const auto& packet : packets) {
      text << "000000";  // one line a packet
      for (std::uint8_t octet : packet) text << ' ' << "0123456789abcdef"[octet >> 4] << "0123456789abcdef"[octet & 15];
      text << '\n';
    }
    text.close();
    Run(text2pcap_ + " -q -4 127.0.0.1,127.0.0.1 " + transport + " " + base + ".txt " + base + ".pcap 2>&1");
    return base + ".pcap";
  }

  // tshark's fields of each packet of the capture; options go before the field list.
  std::vector<Fields> Read(const std::string& pcap, const std::string& options, const std::vector<std::string>& names) {
    std::string command =
        tshark_ + " -n -r " + pcap + options + " -T fields -E separator=/t -E occurrence=a -E aggregator=,";
    for (const std::string& n : names) command += " -e " + n;
    std::vector<Fields> out;
    std::stringstream lines(Run(command + " 2>/dev/null"));
    for (std::string line; std::getline(lines, line);) {
      std::stringstream columns(line);
      Fields& f = out.emplace_back();
      for (const std::string& n : names)
        if (!std::getline(columns, f[n], '\t')) f[n].clear();
    }
    return out;
  }

  // tshark's full text dissection ("-V"), for malformed-packet checks.
  std::string Verbose(const std::string& pcap, const std::string& options = "") {
    return Run(tshark_ + " -n -V -r " + pcap + options + " 2>/dev/null");
  }

  // RAS as UDP datagrams to port 1719; call signalling and H.245 as TCP segments (each a whole
  // TPKT, which tshark's Q.931 heuristic finds) to port 1720.
  std::vector<Fields> Ras(const Packets& datagrams, const std::vector<std::string>& names) {
    return Read(Pcap(datagrams, H323Ports(false)), "", names);
  }
  std::vector<Fields> Signalling(const Packets& segments, const std::vector<std::string>& names) {
    return Read(Pcap(segments, H323Ports(true)), "", names);
  }
  std::string VerboseH323(const Packets& packets, bool tcp) { return Verbose(Pcap(packets, H323Ports(tcp))); }

  // UDP datagrams between two ports, decoded as the protocol named (rtp, rtcp).
  std::vector<Fields> Udp(const Packets& datagrams, std::uint16_t from, std::uint16_t to, const std::string& protocol,
                          const std::vector<std::string>& names) {
    return Read(Pcap(datagrams, "-u " + std::to_string(from) + "," + std::to_string(to)),
                " -d udp.port==" + std::to_string(to) + "," + protocol, names);
  }

 private:
  static const char* H323Ports(bool tcp) { return tcp ? "-T 40000,1720" : "-u 1719,1719"; }

  // The program's path, or empty.
  static std::string Which(const std::string& name) {
    try {
      const std::string path = Run("command -v " + name);
      return path.substr(0, path.find('\n'));
    } catch (const std::runtime_error&) {
      return {};
    }
  }

  // The command's standard output; throws when it cannot run or fails.
  static std::string Run(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) throw std::runtime_error("cannot run " + command);
    std::array<char, 4096> buf;
    for (std::size_t n; (n = fread(buf.data(), 1, buf.size(), p)) > 0;) out.append(buf.data(), n);
    if (const int status = pclose(p); status != 0)
      throw std::runtime_error("failed (" + std::to_string(status) + "): " + command);
    return out;
  }

  std::string tshark_, text2pcap_, dir_;
  int files_ = 0;
};

}  // namespace vantro::test
