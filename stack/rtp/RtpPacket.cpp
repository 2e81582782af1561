#include "stack/rtp/RtpPacket.h"

namespace vantro::rtp {

namespace {

std::uint32_t Read32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

std::optional<RtpPacket> Fail(RtpPacket::Error why, RtpPacket::Error* error) {
  if (error) *error = why;
  return std::nullopt;
}

}  // namespace

std::optional<RtpPacket> RtpPacket::Parse(std::span<const std::uint8_t> d, Error* error) {
  if (d.size() < kRtpHeaderSize) return Fail(Error::TooShort, error);
  if ((d[0] >> 6) != 2) return Fail(Error::NotVersion2, error);
  const bool padding = d[0] & 0x20;
  const bool extension = d[0] & 0x10;
  const std::size_t csrcCount = d[0] & 0x0f;

  std::size_t start = kRtpHeaderSize + 4 * csrcCount;
  if (start > d.size()) return Fail(Error::Truncated, error);
  if (extension) {
    if (start + 4 > d.size()) return Fail(Error::Truncated, error);
    const std::size_t words = std::size_t(d[start + 2]) << 8 | d[start + 3];
    start += 4 + 4 * words;
    if (start > d.size()) return Fail(Error::Truncated, error);
  }
  std::size_t end = d.size();
  if (padding) {
    const std::size_t count = d.back();
    if (count == 0 || count > end - start) return Fail(Error::Truncated, error);
    end -= count;
  }

  RtpPacket p;
  p.marker = d[1] & 0x80;
  p.payloadType = d[1] & 0x7f;
  p.sequence = static_cast<std::uint16_t>(d[2] << 8 | d[3]);
  p.timestamp = Read32(&d[4]);
  p.ssrc = Read32(&d[8]);
  p.payload = d.subspan(start, end - start);
  if (error) *error = Error::None;
  return p;
}

void RtpPacket::Serialize(std::vector<std::uint8_t>& out) const {
  out.clear();
  out.reserve(kRtpHeaderSize + payload.size());
  out.push_back(0x80);
  out.push_back(static_cast<std::uint8_t>((marker ? 0x80 : 0) | (payloadType & 0x7f)));
  out.push_back(static_cast<std::uint8_t>(sequence >> 8));
  out.push_back(static_cast<std::uint8_t>(sequence));
  for (std::uint32_t v : {timestamp, ssrc})
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
  out.insert(out.end(), payload.begin(), payload.end());
}

}  // namespace vantro::rtp
