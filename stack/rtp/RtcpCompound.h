#pragma once
// A compound RTCP packet (RFC 3550 section 6): a sender or receiver report first, then the source
// description (we read and write only CNAME) and, when a source leaves, BYE. Other packet types a
// peer adds (APP, feedback, extended reports) are passed over.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vantro::rtp {

inline constexpr std::uint8_t kRtcpSenderReport = 200;
inline constexpr std::uint8_t kRtcpReceiverReport = 201;
inline constexpr std::uint8_t kRtcpSourceDescription = 202;
inline constexpr std::uint8_t kRtcpBye = 203;

// What a receiver says of one source it hears.
struct RtcpReportBlock {
  std::uint32_t ssrc = 0;
  std::uint8_t fractionLost = 0;      // lost since the last report, in 1/256
  std::int32_t cumulativeLost = 0;    // 24-bit signed on the wire
  std::uint32_t highestSequence = 0;  // extended: cycles in the high 16 bits
  std::uint32_t jitter = 0;           // interarrival jitter in timestamp units
  std::uint32_t lastSenderReport = 0; // middle 32 bits of the NTP time of the last SR heard
  std::uint32_t delaySinceLastSenderReport = 0;  // in 1/65536 s
  bool operator==(const RtcpReportBlock&) const = default;
};

// What a sender says of what it sent.
struct RtcpSenderInfo {
  std::uint64_t ntpTimestamp = 0;  // seconds since 1900 in the high 32 bits, fraction in the low
  std::uint32_t rtpTimestamp = 0;  // the same instant on the RTP clock
  std::uint32_t packetCount = 0;
  std::uint32_t octetCount = 0;
  bool operator==(const RtcpSenderInfo&) const = default;
};

class RtcpCompound {
 public:
  enum class Error { None, TooShort, NotVersion2, NotAReportFirst, BadLength, BadPadding };

  std::uint32_t ssrc = 0;                 // the source that sends the report
  std::optional<RtcpSenderInfo> sender;   // set: a sender report; unset: a receiver report
  std::vector<RtcpReportBlock> reports;   // at most 31 are written
  std::string cname;                      // the CNAME of ssrc, if the packet carries one
  bool bye = false;
  std::vector<std::uint32_t> byeSources;  // written as ssrc alone when empty
  std::string byeReason;

  // Reads a datagram under the checks of RFC 3550 A.2: every part of version 2, a report first,
  // padding on the last part only, lengths that add up to the datagram.
  static std::optional<RtcpCompound> Parse(std::span<const std::uint8_t> datagram, Error* error = nullptr);

  void Serialize(std::vector<std::uint8_t>& out) const;
};

}  // namespace vantro::rtp
