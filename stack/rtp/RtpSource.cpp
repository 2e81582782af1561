#include "stack/rtp/RtpSource.h"

#include <algorithm>
#include <cmath>

namespace vantro::rtp {

namespace {

constexpr std::uint32_t kSequenceMod = 1u << 16;
constexpr std::uint32_t kMaxDropout = 3000;
constexpr std::uint32_t kMaxMisorder = 100;

}  // namespace

RtpSource::RtpSource(std::uint32_t ssrc, std::uint16_t firstSequence, unsigned probation)
    : ssrc_(ssrc), probation_(probation) {
  Restart(firstSequence);
  probation_ = probation;
  maxSequence_ = static_cast<std::uint16_t>(firstSequence - 1);
}

void RtpSource::Restart(std::uint16_t sequence) {
  baseSequence_ = sequence;
  maxSequence_ = sequence;
  badSequence_ = kSequenceMod + 1;  // matches no sequence number
  cycles_ = 0;
  received_ = 0;
  receivedPrior_ = 0;
  expectedPrior_ = 0;
}

bool RtpSource::UpdateSequence(std::uint16_t sequence) {
  const std::uint16_t delta = static_cast<std::uint16_t>(sequence - maxSequence_);
  if (probation_ > 0) {
    if (sequence == static_cast<std::uint16_t>(maxSequence_ + 1)) {
      maxSequence_ = sequence;
      if (--probation_ == 0) {
        Restart(sequence);
        ++received_;
        return true;
      }
    } else {
      probation_ = 1;
      maxSequence_ = sequence;
    }
    return false;
  }
  if (delta < kMaxDropout) {
    if (sequence < maxSequence_) cycles_ += kSequenceMod;  // wrapped
    maxSequence_ = sequence;
  } else if (delta <= kSequenceMod - kMaxMisorder) {
    if (sequence != badSequence_) {
      // A big jump: the source may have restarted. Use the next packet if it follows this one.
      badSequence_ = (sequence + 1u) & (kSequenceMod - 1);
      return false;
    }
    Restart(sequence);
    haveTransit_ = false;
  }
  // Otherwise a duplicate or a packet out of order: counted, used.
  ++received_;
  return true;
}

void RtpSource::UpdateJitter(std::uint32_t timestamp, std::int64_t arrival) {
  // The transit time only matters by its changes, so it is kept modulo 2^32 like the timestamp.
  const std::uint32_t transit = static_cast<std::uint32_t>(arrival) - timestamp;
  if (haveTransit_) {
    const double d = std::abs(static_cast<double>(static_cast<std::int32_t>(transit - transit_)));
    jitter_ += (d - jitter_) / 16.0;
  }
  transit_ = transit;
  haveTransit_ = true;
}

std::int64_t RtpSource::GetExpected() const {
  return static_cast<std::int64_t>(GetExtendedHighestSequence()) - baseSequence_ + 1;
}

RtcpReportBlock RtpSource::MakeReportBlock() {
  RtcpReportBlock b;
  b.ssrc = ssrc_;
  const std::int64_t expected = GetExpected();
  b.cumulativeLost = static_cast<std::int32_t>(std::clamp<std::int64_t>(GetCumulativeLost(), -0x800000, 0x7fffff));
  b.highestSequence = GetExtendedHighestSequence();
  b.jitter = static_cast<std::uint32_t>(jitter_);
  const std::int64_t expectedInterval = expected - expectedPrior_;
  const std::int64_t receivedInterval = static_cast<std::int64_t>(received_ - receivedPrior_);
  expectedPrior_ = expected;
  receivedPrior_ = received_;
  const std::int64_t lostInterval = expectedInterval - receivedInterval;
  if (expectedInterval > 0 && lostInterval > 0)
    b.fractionLost = static_cast<std::uint8_t>(std::min<std::int64_t>((lostInterval << 8) / expectedInterval, 255));
  return b;
}

}  // namespace vantro::rtp
