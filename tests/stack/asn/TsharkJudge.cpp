#include "tests/stack/asn/TsharkJudge.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vantro::test {

namespace {

std::string findOnPath(const std::string& name) {
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

std::string run(const std::string& command) {
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

}  // namespace

TsharkJudge::TsharkJudge() : tshark_(findOnPath("tshark")), text2pcap_(findOnPath("text2pcap")) {
  if (!available()) return;
  std::string tmpl = (std::filesystem::temp_directory_path() / "vantro-tshark.XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("no temporary folder");
  dir_ = tmpl;
}

TsharkJudge::~TsharkJudge() {
  std::error_code ec;
  if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
}

std::string TsharkJudge::pcap(const std::vector<std::vector<std::uint8_t>>& packets, bool tcp) {
  std::string base = dir_ + "/p" + std::to_string(files_++);
  {
    std::ofstream text(base + ".txt");
    for (const auto& packet : packets) {
      for (std::size_t i = 0; i < packet.size(); ++i) {
        if (i % 16 == 0) {
          char offset[32];
          std::snprintf(offset, sizeof offset, "%s%06zx", i ? "\n" : "", i);
          text << offset;
        }
        char byte[4];
        std::snprintf(byte, sizeof byte, " %02x", packet[i]);
        text << byte;
      }
      text << "\n";
    }
  }
  std::string ports = tcp ? " -T 40000,1720" : " -u 1719,1719";
  run(text2pcap_ + " -q -4 127.0.0.1,127.0.0.1" + ports + " " + base + ".txt " + base + ".pcap 2>&1");
  return base + ".pcap";
}

std::vector<TsharkJudge::Fields> TsharkJudge::fields(const std::string& pcapPath,
                                                     const std::vector<std::string>& names) {
  std::string command = tshark_ + " -n -r " + pcapPath + " -T fields -E separator=/t -E occurrence=a -E aggregator=,";
  for (const std::string& n : names) command += " -e " + n;
  command += " 2>/dev/null";
  std::vector<Fields> out;
  std::stringstream lines(run(command));
  std::string line;
  while (std::getline(lines, line)) {
    Fields f;
    std::stringstream cols(line);
    std::string col;
    for (const std::string& n : names) {
      if (!std::getline(cols, col, '\t')) col.clear();
      f[n] = col;
    }
    out.push_back(std::move(f));
  }
  return out;
}

std::vector<TsharkJudge::Fields> TsharkJudge::ras(const std::vector<std::vector<std::uint8_t>>& datagrams,
                                                  const std::vector<std::string>& names) {
  return fields(pcap(datagrams, false), names);
}

std::vector<TsharkJudge::Fields> TsharkJudge::signalling(const std::vector<std::vector<std::uint8_t>>& segments,
                                                         const std::vector<std::string>& names) {
  return fields(pcap(segments, true), names);
}

std::string TsharkJudge::verbose(const std::vector<std::vector<std::uint8_t>>& packets, bool tcp) {
  return run(tshark_ + " -n -V -r " + pcap(packets, tcp) + " 2>/dev/null");
}

}  // namespace vantro::test
