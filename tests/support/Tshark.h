#pragma once
// tshark and text2pcap for the tests that let tshark judge what we send: packets are written into
// a capture file by text2pcap (between two ports of 127.0.0.1) and tshark's dissection is read
// back, one map per packet (field name to its values, comma-separated when repeated). Header-only,
// so that every judge built on it needs nothing more to link.

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

  // Finds tshark and text2pcap on the PATH; Available() is false when either is missing.
  Tshark() : tshark_(FindOnPath("tshark")), text2pcap_(FindOnPath("text2pcap")) {
    if (!Available()) return;
    std::string tmpl = (std::filesystem::temp_directory_path() / "vantro-tshark.XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("no temporary folder");
    dir_ = tmpl;
  }
  ~Tshark() {
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  Tshark(const Tshark&) = delete;
  Tshark& operator=(const Tshark&) = delete;
  bool Available() const { return !tshark_.empty() && !text2pcap_.empty(); }

  // A capture of the packets between two ports of 127.0.0.1; transport is text2pcap's option for
  // it ("-u A,B" for UDP, "-T A,B" for TCP).
  std::string Pcap(const Packets& packets, const std::string& transport) {
    const std::string base = dir_ + "/p" + std::to_string(files_++);
    {
      std::ofstream text(base + ".txt");
      for (const auto& packet : packets) {
        for (std::size_t i = 0; i < packet.size(); ++i) {
          char octet[32];
          if (i % 16 == 0) {
            std::snprintf(octet, sizeof octet, "%s%06zx", i ? "\n" : "", i);
            text << octet;
          }
          std::snprintf(octet, sizeof octet, " %02x", packet[i]);
          text << octet;
        }
        text << "\n";
      }
    }
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
    std::string line;
    while (std::getline(lines, line)) {
      Fields f;
      std::stringstream columns(line);
      for (const std::string& n : names) {
        std::string value;
        if (!std::getline(columns, value, '\t')) value.clear();
        f[n] = value;
      }
      out.push_back(std::move(f));
    }
    return out;
  }

  // tshark's full text dissection ("-V"), for malformed-packet checks.
  std::string Verbose(const std::string& pcap, const std::string& options = "") {
    return Run(tshark_ + " -n -V -r " + pcap + options + " 2>/dev/null");
  }

  // H.225.0 RAS as UDP datagrams to port 1719; call signalling and H.245 as TCP segments (each a
  // whole TPKT, which tshark's Q.931 heuristic finds) to port 1720.
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

  // The program's path on the PATH, or empty.
  static std::string FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
      std::filesystem::path p = std::filesystem::path(dir) / name;
      std::error_code ec;
      if (std::filesystem::is_regular_file(p, ec)) return p.string();
    }
    return {};
  }

  // The command's standard output; throws when it cannot run or fails.
  static std::string Run(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) throw std::runtime_error("cannot run " + command);
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
    int status = pclose(p);
    if (status != 0) throw std::runtime_error("failed (" + std::to_string(status) + "): " + command);
    return out;
  }

  std::string tshark_;
  std::string text2pcap_;
  std::string dir_;
  int files_ = 0;
};

}  // namespace vantro::test
