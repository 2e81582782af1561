#pragma once
// What a receiver knows of one source it hears (RFC 3550 appendix A): the sequence numbers it has
// seen, with wrap-around, restarts and a probation for a new source; how many packets came and how
// many were expected; the interarrival jitter; and the figures of a reception report block.

#include "stack/rtp/RtcpCompound.h"

#include <cstdint>

namespace vantro::rtp {

class RtpSource {
 public:
  // probation: how many packets in sequence make a new source valid (1: the first packet does).
  RtpSource(std::uint32_t ssrc, std::uint16_t firstSequence, unsigned probation);

  std::uint32_t GetSsrc() const { return ssrc_; }
  bool IsValid() const { return probation_ == 0; }

  // Takes a packet's sequence number. False when the packet is not to be used: still on probation,
  // or a jump in the sequence that a second packet has not confirmed yet (then the next packet in
  // sequence after it restarts the count).
  bool UpdateSequence(std::uint16_t sequence);
  // Takes the timestamp and the arrival time (both in timestamp units) of a packet in use.
  void UpdateJitter(std::uint32_t timestamp, std::int64_t arrival);

  std::uint32_t GetExtendedHighestSequence() const { return cycles_ + maxSequence_; }
  std::uint64_t GetReceived() const { return received_; }
  std::int64_t GetExpected() const;
  // Expected minus received; negative when duplicates came.
  std::int64_t GetCumulativeLost() const { return GetExpected() - static_cast<std::int64_t>(received_); }
  // Interarrival jitter in timestamp units.
  double GetJitter() const { return jitter_; }

  // A report block of this source; the loss fraction is of the packets since the previous call.
  RtcpReportBlock MakeReportBlock();

 private:
  void Restart(std::uint16_t sequence);

  std::uint32_t ssrc_;
  std::uint16_t maxSequence_ = 0;
  std::uint32_t cycles_ = 0;
  std::uint32_t baseSequence_ = 0;
  std::uint32_t badSequence_ = 0;
  unsigned probation_ = 0;
  std::uint64_t received_ = 0;
  std::int64_t expectedPrior_ = 0;
  std::uint64_t receivedPrior_ = 0;
  bool haveTransit_ = false;
  std::uint32_t transit_ = 0;
  double jitter_ = 0;
};

}  // namespace vantro::rtp
