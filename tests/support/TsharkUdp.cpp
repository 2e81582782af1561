#include "tests/support/TsharkUdp.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vantro::test {

namespace {

void Put16(std::string& out, unsigned v) {
  out.push_back(static_cast<char>(v >> 8));
  out.push_back(static_cast<char>(v));
}

// pcap's own headers are in the writer's byte order (little-endian here, as its magic says).
void PutLittle32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

std::string Ipv4Udp(const std::vector<std::uint8_t>& payload, std::uint16_t from, std::uint16_t to, unsigned id) {
  std::string p;
  const unsigned total = 20 + 8 + static_cast<unsigned>(payload.size());
  p += '\x45';
  p += '\0';
  Put16(p, total);
  Put16(p, id);
  Put16(p, 0x4000);  // do not fragment
  p += '\x40';       // time to live
  p += '\x11';       // UDP
  Put16(p, 0);       // checksum, below
  for (int i = 0; i < 2; ++i) p += std::string("\x7f\x00\x00\x01", 4);
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < 20; i += 2) sum += static_cast<std::uint8_t>(p[i]) << 8 | static_cast<std::uint8_t>(p[i + 1]);
  while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
  p[10] = static_cast<char>(~sum >> 8);
  p[11] = static_cast<char>(~sum);
  Put16(p, from);
  Put16(p, to);
  Put16(p, 8 + static_cast<unsigned>(payload.size()));
  Put16(p, 0);  // no UDP checksum
  p.append(payload.begin(), payload.end());
  return p;
}

std::string Run(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run " + command);
  std::string out;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  if (pclose(pipe) != 0) throw std::runtime_error("failed: " + command);
  return out;
}

}  // namespace

TsharkUdp::TsharkUdp() {
  std::stringstream path(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(path, dir, ':')) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(std::filesystem::path(dir) / "tshark", ec)) {
      tshark_ = (std::filesystem::path(dir) / "tshark").string();
      break;
    }
  }
  std::string folder = (std::filesystem::temp_directory_path() / "vantro-rtp-tshark.XXXXXX").string();
  if (Available() && mkdtemp(folder.data())) folder_ = folder;
}

TsharkUdp::~TsharkUdp() {
  std::error_code ec;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, ec);
}

std::string TsharkUdp::WritePcap(const std::vector<std::vector<std::uint8_t>>& datagrams, std::uint16_t sourcePort,
                                 std::uint16_t destinationPort) {
  std::string file;
  for (std::uint32_t v : {0xa1b2c3d4u, 0x00040002u, 0u, 0u, 65535u, 101u}) PutLittle32(file, v);  // 101: raw IP
  unsigned id = 1;
  for (const auto& d : datagrams) {
    const std::string packet = Ipv4Udp(d, sourcePort, destinationPort, id);
    for (std::uint32_t v : {id / 50, (id % 50) * 20000, static_cast<std::uint32_t>(packet.size()),
                            static_cast<std::uint32_t>(packet.size())})
      PutLittle32(file, v);
    file += packet;
    ++id;
  }
  const std::string path = folder_ + "/capture" + std::to_string(files_++) + ".pcap";
  std::ofstream(path, std::ios::binary) << file;
  return path;
}

std::vector<TsharkUdp::Fields> TsharkUdp::Dissect(const std::vector<std::vector<std::uint8_t>>& datagrams,
                                                  std::uint16_t sourcePort, std::uint16_t destinationPort,
                                                  const std::string& protocol, const std::vector<std::string>& fields) {
  std::string command = tshark_ + " -n -r " + WritePcap(datagrams, sourcePort, destinationPort) +
                        " -d udp.port==" + std::to_string(destinationPort) + "," + protocol +
                        " -T fields -E separator=/t -E occurrence=a -E aggregator=,";
  for (const std::string& f : fields) command += " -e " + f;
  std::vector<Fields> out;
  std::stringstream lines(Run(command + " 2>/dev/null"));
  std::string line;
  while (std::getline(lines, line)) {
    Fields row;
    std::stringstream columns(line);
    for (const std::string& f : fields) {
      std::string value;
      std::getline(columns, value, '\t');
      row[f] = value;
    }
    out.push_back(std::move(row));
  }
  return out;
}

}  // namespace vantro::test
