#pragma once
// The adaptive jitter buffer of one received audio stream. The network thread puts the frames of
// each packet in; the playing thread takes the next piece to play each time its device wants more.
//
// Delay. Every packet's transit (arrival time minus its timestamp on our clock) is compared with
// the smallest transit of the last seconds: the difference is how late it came against the
// earliest packets. A frame is played that long after its earliest possible arrival: the target
// delay, between the minimum and the maximum of the settings. The target grows at once to cover
// the lateness seen in the last ten seconds and decays slowly when it is no longer needed. The
// played delay follows the target: it grows by holding the play point (silence, or a made-up frame
// in the middle of speech), and shrinks by leaving out a frame where the sound is quiet, or by
// passing over a stretch of missing frames.
//
// The play clock is the count of samples handed out, so a device that takes audio in bursts does
// not make the delay look jumpy; it is anchored to the steady clock at its earliest.
//
// Packets are put in order of timestamp: reordered ones fall into place, duplicates (by sequence
// number or timestamp) and packets whose time to play has passed are dropped and counted. A
// packet far from the timeline (a jump of the timestamps, or a sender whose clock stood still)
// is dropped on its own; two of them in sequence that agree start a new timeline, as does a new
// source: its frames follow what is buffered at the delay played so far.
//
// Thread-safe: one thread puts, another reads, any thread reads the statistics.

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace vantro::rtp {

struct JitterBufferStatistics {
  unsigned currentDelayMs = 0;  // the delay of the frame played last
  unsigned targetDelayMs = 0;
  std::uint64_t framesPlayed = 0;
  std::uint64_t framesConcealed = 0;  // made up for frames that were missing when due
  std::uint64_t framesInserted = 0;   // silence or made-up frames played to grow the delay
  std::uint64_t framesDiscarded = 0;  // left out to shrink the delay
  std::uint64_t samplesSkipped = 0;   // missing stretches passed over to shrink the delay
  std::uint64_t packetsLate = 0;
  std::uint64_t packetsDuplicate = 0;
  std::uint64_t packetsOffTimeline = 0;  // dropped as far from the timeline
  std::uint64_t resyncs = 0;
  std::size_t bufferedFrames = 0;
};

class JitterBuffer {
 public:
  using Clock = std::chrono::steady_clock;

  struct Settings {
    unsigned minimumMs = 28;
    unsigned maximumMs = 400;
    unsigned clockRate = 8000;
    unsigned frameSamples = 80;  // the codec's frame: the step of made-up frames and of silence
  };

  // One frame of a packet: where it starts (in samples from the packet's timestamp), the samples
  // it stands for, and its bytes.
  struct Frame {
    unsigned offset = 0;
    unsigned samples = 0;
    std::span<const std::uint8_t> bytes;
  };

  struct Output {
    enum Kind {
      Silence,  // nothing to play: play silence
      Play,     // decode the frame's bytes and play them
      Missing,  // the frame is not there: play what the codec makes up
    };
    Kind kind = Silence;
    unsigned samples = 0;  // how many samples this stands for
    bool discard = false;  // Play: decode (the decoder's state goes on) but do not play
  };

  explicit JitterBuffer(const Settings& settings);

  // newSource: the sender has started anew; the old timeline and what is buffered are dropped.
  void Put(std::uint16_t sequence, std::uint32_t timestamp, std::span<const Frame> frames, Clock::time_point arrival,
           bool newSource = false);

  // The next piece to play; a Play frame's bytes go to bytes. quiet: the sound played last was
  // quiet, so a frame may be left out here without being heard.
  Output Read(Clock::time_point now, bool quiet, std::vector<std::uint8_t>& bytes);

  JitterBufferStatistics GetStatistics() const;

 private:
  enum class State { Idle, Priming, Playing };

  // The least (or, with Max, the greatest) value of the last one or two spans of time.
  template <bool Max>
  class Window {
   public:
    void Reset() { valid_ = false; }
    void Update(std::int64_t value, std::int64_t nowUs, std::int64_t spanUs);
    std::optional<std::int64_t> Get(std::int64_t nowUs, std::int64_t spanUs) const;

   private:
    static std::int64_t Pick(std::int64_t a, std::int64_t b) { return Max ? std::max(a, b) : std::min(a, b); }
    bool valid_ = false;
    bool havePrevious_ = false;
    std::int64_t current_ = 0;
    std::int64_t previous_ = 0;
    std::int64_t start_ = 0;
  };

  struct Stored {
    unsigned samples = 0;
    std::vector<std::uint8_t> bytes;
  };

  std::int64_t Micros(Clock::time_point t) const;
  std::int64_t SamplesToMicros(std::int64_t samples) const;
  std::int64_t MicrosToSamples(std::int64_t us) const;
  void StartTimeline(std::uint16_t sequence, std::uint32_t timestamp);
  void Rebase(std::uint16_t sequence, std::uint32_t timestamp, std::int64_t arrivalUs);
  void StartSequence(std::uint16_t sequence, std::uint32_t timestamp);
  std::int64_t Extend(std::uint32_t timestamp) const;
  std::int64_t ExtendSequence(std::uint16_t sequence) const;
  std::int64_t Transit(std::int64_t arrivalUs, std::int64_t extendedTimestamp) const;
  std::int64_t WantedDelayUs(std::int64_t nowUs) const;
  std::int64_t ReaderMicros(std::int64_t nowUs);
  Output Emit(Output::Kind kind, unsigned samples);
  Output PlayFrame(std::map<std::int64_t, Stored>::iterator it, bool discard, std::vector<std::uint8_t>& bytes);

  const Settings settings_;
  const std::int64_t frameUs_;
  mutable std::mutex mutex_;

  State state_ = State::Idle;
  std::map<std::int64_t, Stored> frames_;  // by extended timestamp
  std::int64_t playPoint_ = 0;             // extended timestamp of the next sample to play
  std::uint32_t lastTimestamp_ = 0;        // the newest packet's timestamp and its extension
  std::int64_t lastExtended_ = 0;
  std::uint16_t lastSequence_ = 0;
  std::int64_t lastExtendedSequence_ = 0;
  std::vector<std::int64_t> recentSequences_;  // by extended sequence number modulo its size

  Window<false> minTransit_;
  std::int64_t minTransitUs_ = 0;
  Window<true> lateness_;
  std::int64_t targetUs_;
  std::int64_t lastDecayUs_ = 0;
  std::optional<std::int64_t> jumpSequence_;  // a packet far from the timeline, and its transit
  std::int64_t jumpTransit_ = 0;

  std::int64_t samplesOut_ = 0;  // handed out to be played
  Window<false> readerAnchor_;
  std::int64_t missingRun_ = 0;
  std::int64_t lastShrinkUs_ = 0;
  std::int64_t lastDelayUs_ = 0;
  JitterBufferStatistics counts_;
};

}  // namespace vantro::rtp
