#include "tests/support/PcapWriter.h"

#include <fstream>

namespace vantro::test {

namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, static_cast<std::uint16_t>(v >> 16));
  Put16(out, static_cast<std::uint16_t>(v));
}

template <class T>
void Little(std::ofstream& out, T v) {
  for (std::size_t i = 0; i < sizeof(T); ++i) out.put(static_cast<char>((static_cast<std::uint64_t>(v) >> (8 * i)) & 0xff));
}

std::uint32_t Ip(const asn::Ipv4Address& a) {
  return static_cast<std::uint32_t>(a.ip[0]) << 24 | a.ip[1] << 16 | a.ip[2] << 8 | a.ip[3];
}

}  // namespace

void PcapWriter::Add(const asn::Ipv4Address& from, const asn::Ipv4Address& to, std::span<const std::uint8_t> payload) {
  std::uint32_t& seq = sequence_[{Ip(from), from.port, Ip(to), to.port}];
  if (seq == 0) seq = 1;
  std::vector<std::uint8_t> p;
  // IPv4
  p.push_back(0x45);
  p.push_back(0);
  Put16(p, static_cast<std::uint16_t>(20 + 20 + payload.size()));
  Put16(p, static_cast<std::uint16_t>(packets_.size()));
  Put16(p, 0x4000);  // don't fragment
  p.push_back(64);
  p.push_back(6);  // TCP
  Put16(p, 0);     // checksum: not checked by default
  Put32(p, Ip(from));
  Put32(p, Ip(to));
  // TCP
  Put16(p, from.port);
  Put16(p, to.port);
  Put32(p, seq);
  Put32(p, 1);
  p.push_back(0x50);  // 20 octets
  p.push_back(0x18);  // PSH, ACK
  Put16(p, 65535);
  Put16(p, 0);
  Put16(p, 0);
  p.insert(p.end(), payload.begin(), payload.end());
  seq += static_cast<std::uint32_t>(payload.size());
  packets_.push_back(std::move(p));
}

bool PcapWriter::Write(const std::string& path) const {
  std::ofstream out(path, std::ios::binary);
  if (!out) return false;
  Little<std::uint32_t>(out, 0xa1b2c3d4);
  Little<std::uint16_t>(out, 2);
  Little<std::uint16_t>(out, 4);
  Little<std::int32_t>(out, 0);
  Little<std::uint32_t>(out, 0);
  Little<std::uint32_t>(out, 65535);
  Little<std::uint32_t>(out, 101);  // raw IP
  std::uint32_t ms = 0;
  for (const auto& p : packets_) {
    ms += 1;
    Little<std::uint32_t>(out, ms / 1000);
    Little<std::uint32_t>(out, (ms % 1000) * 1000);
    Little<std::uint32_t>(out, static_cast<std::uint32_t>(p.size()));
    Little<std::uint32_t>(out, static_cast<std::uint32_t>(p.size()));
    out.write(reinterpret_cast<const char*>(p.data()), static_cast<std::streamsize>(p.size()));
  }
  return static_cast<bool>(out);
}

}  // namespace vantro::test
