#pragma once
// TPKT framing (RFC 1006) of the call signalling stream: a 4-octet header (version 3, reserved,
// 16-bit length including the header) before each Q.931 message.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vantro::q931 {

inline constexpr std::size_t kTpktHeader = 4;
inline constexpr std::size_t kTpktMaxPayload = 65535 - kTpktHeader;

// The payload in a TPKT; std::nullopt when it does not fit in one.
std::optional<std::vector<std::uint8_t>> TpktFrame(std::span<const std::uint8_t> payload);

// Splits a byte stream into TPKT payloads. Feed whatever the socket delivered, then take the
// complete packets with Next(). A header that is not TPKT (wrong version, length below the
// header) puts the reader in the failed state: the stream cannot be resynchronised and the
// connection should be closed. Keep-alive packets (a bare header) are skipped.
class TpktReader {
 public:
  enum class Status { Packet, NeedMore, Failed };

  void Feed(std::span<const std::uint8_t> bytes);
  Status Next(std::vector<std::uint8_t>& payload);
  bool Failed() const { return failed_; }
  std::size_t Buffered() const { return buf_.size() - start_; }

 private:
  std::vector<std::uint8_t> buf_;
  std::size_t start_ = 0;
  bool failed_ = false;
};

}  // namespace vantro::q931
