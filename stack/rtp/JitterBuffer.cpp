#include "stack/rtp/JitterBuffer.h"

#include <algorithm>
#include <limits>

namespace vantro::rtp {

namespace {

using us = std::int64_t;

constexpr us kTransitSpanUs = 4'000'000;   // the smallest transit is of the last 4 to 8 s
constexpr us kLatenessSpanUs = 5'000'000;  // the target covers the lateness of the last 5 to 10 s
constexpr us kReaderSpanUs = 1'000'000;   // the play clock is anchored to the last 1 to 2 s
constexpr us kMarginUs = 2'000;            // above the lateness seen
constexpr us kSlackUs = 1'000;
constexpr us kDecayPerSecondUs = 5'000;    // how fast an unneeded target comes down
constexpr us kShrinkSpacingUs = 50'000;    // at most one frame left out in this time
constexpr us kConcealLimitUs = 100'000;    // made-up sound beyond this is silence
constexpr us kJumpAgreementUs = 60'000;
constexpr us kOffTimelineExtraUs = 600'000;
constexpr std::size_t kMaxFrames = 2048;
constexpr std::size_t kRecentSequences = 256;

}  // namespace

template <bool Max>
void JitterBuffer::Window<Max>::Update(std::int64_t value, std::int64_t nowUs, std::int64_t spanUs) {
  if (!valid_ || nowUs - start_ >= 2 * spanUs) {
    valid_ = true;
    havePrevious_ = false;
    current_ = value;
    start_ = nowUs;
  } else if (nowUs - start_ >= spanUs) {
    previous_ = current_;
    havePrevious_ = true;
    current_ = value;
    start_ = nowUs;
  } else {
    current_ = Pick(current_, value);
  }
}

template <bool Max>
std::optional<std::int64_t> JitterBuffer::Window<Max>::Get(std::int64_t nowUs, std::int64_t spanUs) const {
  if (!valid_ || nowUs - start_ >= 2 * spanUs) return std::nullopt;
  if (nowUs - start_ >= spanUs || !havePrevious_) return current_;
  return Pick(current_, previous_);
}

JitterBuffer::JitterBuffer(const Settings& settings)
    : settings_{std::max(settings.minimumMs, 1u), std::max({settings.maximumMs, settings.minimumMs, 1u}),
                std::max(settings.clockRate, 1u), std::max(settings.frameSamples, 1u)},
      frameUs_(SamplesToMicros(settings_.frameSamples)),
      recentSequences_(kRecentSequences, std::numeric_limits<std::int64_t>::min()),
      targetUs_(us(settings_.minimumMs) * 1000) {
  counts_.targetDelayMs = settings_.minimumMs;
}

std::int64_t JitterBuffer::Micros(Clock::time_point t) const {
  return std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
}

std::int64_t JitterBuffer::SamplesToMicros(std::int64_t samples) const {
  return samples * 1'000'000 / settings_.clockRate;
}

std::int64_t JitterBuffer::MicrosToSamples(std::int64_t micros) const {
  return micros * settings_.clockRate / 1'000'000;
}

std::int64_t JitterBuffer::Extend(std::uint32_t timestamp) const {
  return lastExtended_ + static_cast<std::int32_t>(timestamp - lastTimestamp_);
}

std::int64_t JitterBuffer::ExtendSequence(std::uint16_t sequence) const {
  return lastExtendedSequence_ + static_cast<std::int16_t>(static_cast<std::uint16_t>(sequence - lastSequence_));
}

std::int64_t JitterBuffer::Transit(std::int64_t arrivalUs, std::int64_t extendedTimestamp) const {
  return arrivalUs - SamplesToMicros(extendedTimestamp);
}

void JitterBuffer::StartTimeline(std::uint16_t sequence, std::uint32_t timestamp) {
  state_ = State::Priming;
  frames_.clear();
  lastExtended_ = static_cast<std::int64_t>(timestamp) + (std::int64_t(1) << 32);  // far from zero either way
  playPoint_ = lastExtended_;
  minTransit_.Reset();
  lateness_.Reset();
  missingRun_ = 0;
  StartSequence(sequence, timestamp);
}

void JitterBuffer::Rebase(std::uint16_t sequence, std::uint32_t timestamp, std::int64_t arrivalUs) {
  // The new timestamps are placed on the old timeline as if this packet had come the quickest way:
  // what is buffered plays out first, and the new frames follow at the delay of the old ones.
  ++counts_.resyncs;
  lastExtended_ = MicrosToSamples(arrivalUs - minTransitUs_);
  StartSequence(sequence, timestamp);
}

void JitterBuffer::StartSequence(std::uint16_t sequence, std::uint32_t timestamp) {
  lastTimestamp_ = timestamp;
  lastSequence_ = sequence;
  lastExtendedSequence_ = static_cast<std::int64_t>(sequence) + (std::int64_t(1) << 16);
  std::fill(recentSequences_.begin(), recentSequences_.end(), std::numeric_limits<std::int64_t>::min());
  jumpSequence_.reset();
}

std::int64_t JitterBuffer::WantedDelayUs(std::int64_t nowUs) const {
  const us lateness = lateness_.Get(nowUs, kLatenessSpanUs).value_or(0);
  return std::clamp(lateness + kMarginUs, us(settings_.minimumMs) * 1000, us(settings_.maximumMs) * 1000);
}

void JitterBuffer::Put(std::uint16_t sequence, std::uint32_t timestamp, std::span<const Frame> frames,
                       Clock::time_point arrival, bool newSource) {
  std::lock_guard lock(mutex_);
  const us arrivalUs = Micros(arrival);
  if (state_ == State::Idle)
    StartTimeline(sequence, timestamp);
  else if (newSource)
    Rebase(sequence, timestamp, arrivalUs);

  std::int64_t extended = Extend(timestamp);
  std::int64_t extendedSequence = ExtendSequence(sequence);
  std::int64_t& seen = recentSequences_[static_cast<std::size_t>(extendedSequence) % kRecentSequences];
  if (seen == extendedSequence) {
    ++counts_.packetsDuplicate;
    return;
  }
  us transit = Transit(arrivalUs, extended);
  if (const auto least = minTransit_.Get(arrivalUs, kTransitSpanUs)) {
    const us offTimeline = us(settings_.maximumMs) * 1000 + kOffTimelineExtraUs;
    if (transit - *least > offTimeline || *least - transit > offTimeline) {
      const bool confirmed = jumpSequence_ && extendedSequence == *jumpSequence_ + 1 &&
                             std::abs(transit - jumpTransit_) <= kJumpAgreementUs;
      if (!confirmed) {
        jumpSequence_ = extendedSequence;
        jumpTransit_ = transit;
        ++counts_.packetsOffTimeline;
        return;
      }
      Rebase(sequence, timestamp, arrivalUs);
      extended = Extend(timestamp);
      extendedSequence = ExtendSequence(sequence);
      transit = Transit(arrivalUs, extended);
    }
  }
  jumpSequence_.reset();
  recentSequences_[static_cast<std::size_t>(extendedSequence) % kRecentSequences] = extendedSequence;

  minTransit_.Update(transit, arrivalUs, kTransitSpanUs);
  minTransitUs_ = *minTransit_.Get(arrivalUs, kTransitSpanUs);
  lateness_.Update(transit - minTransitUs_, arrivalUs, kLatenessSpanUs);
  targetUs_ = std::max(targetUs_, WantedDelayUs(arrivalUs));

  if (extended > lastExtended_) {
    lastExtended_ = extended;
    lastTimestamp_ = timestamp;
  }
  if (extendedSequence > lastExtendedSequence_) {
    lastExtendedSequence_ = extendedSequence;
    lastSequence_ = sequence;
  }
  if (state_ == State::Priming && extended < playPoint_) playPoint_ = extended;

  std::int64_t end = extended;
  for (const Frame& f : frames) end = std::max(end, extended + f.offset + f.samples);
  if (end <= playPoint_) {
    ++counts_.packetsLate;
    return;
  }
  const std::int64_t horizon = playPoint_ + MicrosToSamples(us(settings_.maximumMs) * 1000 + kOffTimelineExtraUs);
  bool stored = false, repeated = false;
  for (const Frame& f : frames) {
    const std::int64_t key = extended + f.offset;
    if (f.samples == 0 || key < playPoint_ || key > horizon) continue;
    const bool inserted =
        frames_.try_emplace(key, Stored{f.samples, std::vector<std::uint8_t>(f.bytes.begin(), f.bytes.end())}).second;
    stored = stored || inserted;
    repeated = repeated || !inserted;
  }
  if (repeated && !stored) ++counts_.packetsDuplicate;
  while (frames_.size() > kMaxFrames) frames_.erase(std::prev(frames_.end()));
}

std::int64_t JitterBuffer::ReaderMicros(std::int64_t nowUs) {
  const us played = SamplesToMicros(samplesOut_);
  readerAnchor_.Update(nowUs - played, nowUs, kReaderSpanUs);
  return *readerAnchor_.Get(nowUs, kReaderSpanUs) + played;
}

JitterBuffer::Output JitterBuffer::Emit(Output::Kind kind, unsigned samples) {
  samplesOut_ += samples;
  Output out;
  out.kind = kind;
  out.samples = samples;
  return out;
}

JitterBuffer::Output JitterBuffer::PlayFrame(std::map<std::int64_t, Stored>::iterator it, bool discard,
                                             std::vector<std::uint8_t>& bytes) {
  bytes = std::move(it->second.bytes);
  const unsigned samples = it->second.samples;
  playPoint_ = it->first + samples;
  frames_.erase(it);
  missingRun_ = 0;
  if (discard) {
    ++counts_.framesDiscarded;
    Output out;
    out.kind = Output::Play;
    out.samples = samples;
    out.discard = true;
    return out;
  }
  ++counts_.framesPlayed;
  return Emit(Output::Play, samples);
}

JitterBuffer::Output JitterBuffer::Read(Clock::time_point now, bool quiet, std::vector<std::uint8_t>& bytes) {
  std::lock_guard lock(mutex_);
  const us nowUs = Micros(now);
  const us readerUs = ReaderMicros(nowUs);
  const us wanted = WantedDelayUs(nowUs);
  if (targetUs_ > wanted && lastDecayUs_ != 0)
    targetUs_ = std::max(wanted, targetUs_ - (nowUs - lastDecayUs_) * kDecayPerSecondUs / 1'000'000);
  lastDecayUs_ = nowUs;
  const unsigned frame = settings_.frameSamples;
  auto samplesFor = [&](us micros) {
    return static_cast<unsigned>(std::clamp<std::int64_t>(MicrosToSamples(micros), 1, frame));
  };

  if (state_ == State::Idle) return Emit(Output::Silence, frame);
  us delay = readerUs - (SamplesToMicros(playPoint_) + minTransitUs_);
  if (state_ == State::Priming) {
    if (delay < targetUs_) return Emit(Output::Silence, samplesFor(targetUs_ - delay));
    state_ = State::Playing;
  }

  // A frame that starts before the play point (after a stretch was passed over, or a sender whose
  // frames overlap) cannot be played in its place.
  while (!frames_.empty() && frames_.begin()->first < playPoint_) frames_.erase(frames_.begin());
  auto at = frames_.find(playPoint_);

  if (delay < targetUs_ - kSlackUs) {
    // Too little delay: hold the play point for a while. Silence is not heard in quiet sound; in
    // speech a made-up frame is smoother.
    ++counts_.framesInserted;
    if (quiet || at == frames_.end()) return Emit(Output::Silence, samplesFor(targetUs_ - delay));
    return Emit(Output::Missing, frame);
  }

  if (at != frames_.end()) {
    const bool tooLong = delay > targetUs_ + SamplesToMicros(at->second.samples) + kSlackUs;
    const bool farTooLong = delay > us(settings_.maximumMs) * 1000 + frameUs_;
    if (tooLong && (quiet || farTooLong) && nowUs - lastShrinkUs_ >= kShrinkSpacingUs) {
      lastShrinkUs_ = nowUs;
      return PlayFrame(at, true, bytes);
    }
    lastDelayUs_ = delay;
    return PlayFrame(at, false, bytes);
  }

  // Nothing to play here. With more delay than wanted, pass over the missing stretch.
  auto next = frames_.begin();
  if (next != frames_.end() && delay > targetUs_ + frameUs_) {
    const std::int64_t skip = std::min(next->first - playPoint_, MicrosToSamples(delay - targetUs_));
    if (skip > 0) {
      playPoint_ += skip;
      counts_.samplesSkipped += static_cast<std::uint64_t>(skip);
      delay -= SamplesToMicros(skip);
    }
    if (next->first == playPoint_) {
      lastDelayUs_ = delay;
      return PlayFrame(next, false, bytes);
    }
  }
  const std::int64_t gap = next != frames_.end() ? next->first - playPoint_ : frame;
  const auto n = static_cast<unsigned>(std::min<std::int64_t>(frame, gap));
  playPoint_ += n;
  missingRun_ += n;
  if (SamplesToMicros(missingRun_) > kConcealLimitUs) return Emit(Output::Silence, n);
  ++counts_.framesConcealed;
  return Emit(Output::Missing, n);
}

JitterBufferStatistics JitterBuffer::GetStatistics() const {
  std::lock_guard lock(mutex_);
  JitterBufferStatistics s = counts_;
  s.currentDelayMs = static_cast<unsigned>(std::max<us>(lastDelayUs_, 0) / 1000);
  s.targetDelayMs = static_cast<unsigned>(targetUs_ / 1000);
  s.bufferedFrames = frames_.size();
  return s;
}

}  // namespace vantro::rtp
