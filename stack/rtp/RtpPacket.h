#pragma once
// One RTP data packet (RFC 3550 section 5.1): the fixed header, the contributing sources, an
// optional header extension and padding around the payload.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vantro::rtp {

inline constexpr std::size_t kRtpHeaderSize = 12;

class RtpPacket {
 public:
  // Why a datagram is not an RTP packet we can read.
  enum class Error { None, TooShort, NotVersion2, Truncated };

  bool marker = false;
  std::uint8_t payloadType = 0;
  std::uint16_t sequence = 0;
  std::uint32_t timestamp = 0;
  std::uint32_t ssrc = 0;
  // The payload without header, contributing sources, extension and padding: a view into the
  // datagram it was parsed from.
  std::span<const std::uint8_t> payload;

  // Reads a datagram. A packet whose contributing sources, extension or padding run past its end is
  // Truncated; padding that claims no octet at all counts as truncated too.
  static std::optional<RtpPacket> Parse(std::span<const std::uint8_t> datagram, Error* error = nullptr);

  // The datagram of this packet (version 2, no padding, extension or contributing sources).
  void Serialize(std::vector<std::uint8_t>& out) const;
};

}  // namespace vantro::rtp
