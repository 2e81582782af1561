#include "tests/support/PcapWriter.h"

#include <fstream>

namespace vantro::test {

namespace {

// Big-endian (network order) or little-endian (the capture file's own fields).
template <class T>
void Put(std::vector<std::uint8_t>& out, T v, bool big = true) {
  for (std::size_t i = 0; i < sizeof(T); ++i)
    out.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(v) >> (8 * (big ? sizeof(T) - 1 - i : i))));
}

std::uint32_t Ip(const asn::Ipv4Address& a) {
  return static_cast<std::uint32_t>(a.ip[0]) << 24 | a.ip[1] << 16 | a.ip[2] << 8 | a.ip[3];
}

}  // namespace

void PcapWriter::Add(const asn::Ipv4Address& from, const asn::Ipv4Address& to, std::span<const std::uint8_t> payload) {
  std::uint32_t& seq = sequence_[{Ip(from), from.port, Ip(to), to.port}];
  if (seq == 0) seq = 1;
  std::vector<std::uint8_t> p{0x45, 0};  // IPv4, 20 octets
  Put<std::uint16_t>(p, static_cast<std::uint16_t>(40 + payload.size()));
  Put<std::uint16_t>(p, static_cast<std::uint16_t>(packets_.size()));
  Put<std::uint16_t>(p, 0x4000);     // don't fragment
  p.insert(p.end(), {64, 6, 0, 0});  // TTL, TCP, checksum (not checked by default)
  Put(p, Ip(from));
  Put(p, Ip(to));
  Put(p, from.port);
  Put(p, to.port);
  Put(p, seq);
  Put<std::uint32_t>(p, 1);
  p.insert(p.end(), {0x50, 0x18, 0xff, 0xff, 0, 0, 0, 0});  // 20 octets, PSH ACK, window, checksum, urgent
  p.insert(p.end(), payload.begin(), payload.end());
  seq += static_cast<std::uint32_t>(payload.size());
  packets_.push_back(std::move(p));
}

bool PcapWriter::Write(const std::string& path) const {
  // Version 2.4, no time zone, snap length 65535, raw IP; then a millisecond apart each.
  std::vector<std::uint8_t> file;
  for (std::uint32_t v : {0xa1b2c3d4u, 0x00040002u, 0u, 0u, 65535u, 101u}) Put(file, v, false);
  std::uint32_t ms = 0;
  for (const auto& p : packets_) {
    ++ms;
    const auto size = static_cast<std::uint32_t>(p.size());
    for (std::uint32_t v : {ms / 1000, ms % 1000 * 1000, size, size}) Put(file, v, false);
    file.insert(file.end(), p.begin(), p.end());
  }
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  return static_cast<bool>(out);
}

}  // namespace vantro::test
