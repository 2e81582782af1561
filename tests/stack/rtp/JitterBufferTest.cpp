// The adaptive jitter buffer, driven by a simulated sender and a simulated play device that takes
// each piece the moment the previous one has been played (no buffer of its own), where the media
// channel tests (a steady stream at the floor, a voice through loss and jitter) do not reach.
#include "stack/rtp/JitterBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

namespace vantro::rtp {
namespace {

using Clock = JitterBuffer::Clock;
using Kind = JitterBuffer::Output::Kind;

struct Piece {
  Kind kind;
  int frame;  // the number of the frame played, -1 for silence or made-up sound
  double atMs;
  unsigned delayMs;  // after it
};

class Simulation {
 public:
  Simulation() : buffer_(JitterBuffer::Settings{28, 400, 8000, frameSamples_}) {}

  // Frame n of the stream (one frame per packet): sent at n frames' time, arriving delayMs later.
  void Send(int n, double delayMs, std::uint32_t timestampJump = 0) {
    arrivals_.push_back({n * frameSamples_ / 8.0 + delayMs, static_cast<std::uint16_t>(sequenceBase + n),
                         timestampBase + static_cast<std::uint32_t>(n) * frameSamples_ + timestampJump, n});
  }
  void SendStream(int from, int to, const std::function<double(int)>& delayMs) {
    for (int n = from; n < to; ++n) Send(n, delayMs(n));
  }

  // Plays until the device clock reaches untilMs; quiet says whether the sound counts as quiet.
  void Run(double untilMs, bool quiet = true) {
    std::stable_sort(arrivals_.begin(), arrivals_.end(),
                     [](const Arrival& a, const Arrival& b) { return a.atMs < b.atMs; });
    while (playedMs_ < untilMs) {
      for (; next_ < arrivals_.size() && arrivals_[next_].atMs <= playedMs_; ++next_) {
        const Arrival& a = arrivals_[next_];
        const std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(a.n >> 8), static_cast<std::uint8_t>(a.n)};
        const JitterBuffer::Frame frame{0, frameSamples_, bytes};
        buffer_.Put(a.sequence, a.timestamp, std::span(&frame, 1), At(a.atMs), false);
      }
      std::vector<std::uint8_t> bytes;
      const JitterBuffer::Output out = buffer_.Read(At(playedMs_), quiet, bytes);
      if (out.discard) {
        ++discarded;
        continue;
      }
      const int frame = out.kind == Kind::Play && bytes.size() == 2 ? bytes[0] << 8 | bytes[1] : -1;
      const double at = playedMs_;
      playedMs_ += out.samples / 8.0;
      pieces.push_back(Piece{out.kind, frame, at, buffer_.GetStatistics().currentDelayMs});
    }
  }

  JitterBufferStatistics Statistics() const { return buffer_.GetStatistics(); }
  // The frame numbers played, in order.
  std::vector<int> Played() const {
    std::vector<int> out;
    for (const Piece& p : pieces)
      if (p.frame >= 0) out.push_back(p.frame);
    return out;
  }
  const Piece* PieceOf(int frame) const {
    for (const Piece& p : pieces)
      if (p.frame == frame) return &p;
    return nullptr;
  }
  int Count(Kind kind, double fromMs = 0, double toMs = 1e12) const {
    return static_cast<int>(std::count_if(pieces.begin(), pieces.end(), [&](const Piece& p) {
      return p.kind == kind && p.atMs >= fromMs && p.atMs < toMs;
    }));
  }

  std::vector<Piece> pieces;
  int discarded = 0;
  std::uint16_t sequenceBase = 1000;
  std::uint32_t timestampBase = 123456;

 private:
  struct Arrival {
    double atMs;
    std::uint16_t sequence;
    std::uint32_t timestamp;
    int n;
  };
  static Clock::time_point At(double ms) {
    return Clock::time_point(std::chrono::hours(100)) + std::chrono::microseconds(static_cast<std::int64_t>(ms * 1000));
  }

  const unsigned frameSamples_ = 80;
  JitterBuffer buffer_;
  std::vector<Arrival> arrivals_;
  std::size_t next_ = 0;
  double playedMs_ = 0;
};

std::vector<int> Range(int from, int to) {
  std::vector<int> v;
  for (int i = from; i < to; ++i) v.push_back(i);
  return v;
}

// Across the wrap of sequence numbers and timestamps.
TEST(JitterBuffer, PutsReorderedPacketsInPlaceAndDropsDuplicatesAcrossTheWrap) {
  Simulation sim;
  sim.sequenceBase = 65500;
  sim.timestampBase = 0xffffff00u;
  // Pairs swapped by 8 ms, and every fifth packet twice.
  sim.SendStream(0, 200, [](int n) { return n % 2 ? 2.0 : 10.0; });
  for (int n = 0; n < 200; n += 5) sim.Send(n, 15);
  sim.Run(2000);
  EXPECT_EQ(sim.Played(), Range(0, static_cast<int>(sim.Played().size())));
  EXPECT_GT(sim.Played().size(), 190u);
  EXPECT_EQ(sim.Count(Kind::Missing), 0);
  EXPECT_EQ(sim.Statistics().packetsDuplicate, 40u);
  EXPECT_EQ(sim.Statistics().packetsLate, 0u);
}

// Jitter of up to 60 ms for five seconds, then none: the delay grows to cover it, stays within the
// maximum, and comes back to the floor in quiet sound, leaving out frames. In speech it does not
// leave out frames.
TEST(JitterBuffer, DelayGrowsWithJitterAndShrinksSlowlyInQuiet) {
  for (bool quiet : {true, false}) {
    Simulation sim;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> jitter(0, 60);
    sim.SendStream(0, 4000, [&](int n) { return n < 500 ? 5 + jitter(random) : 5.0; });
    sim.Run(40000, quiet);
    unsigned peak = 0;
    for (const Piece& p : sim.pieces) peak = std::max(peak, p.delayMs);
    EXPECT_GE(peak, 55u);
    EXPECT_LE(peak, 75u);
    // Little is lost once the delay has grown.
    EXPECT_LT(sim.Count(Kind::Missing, 1000, 5000), 10);
    if (quiet) {
      EXPECT_LE(sim.pieces.back().delayMs, 28u + 10u);
      EXPECT_GT(sim.discarded, 0);
    } else {
      EXPECT_EQ(sim.discarded, 0);
      EXPECT_GE(sim.pieces.back().delayMs, 55u);
    }
    EXPECT_EQ(sim.Count(Kind::Missing, 6000), 0);
  }
}

TEST(JitterBuffer, NeverWaitsLongerThanTheMaximum) {
  Simulation sim;
  sim.SendStream(0, 1000, [](int n) { return n % 100 == 50 ? 900.0 : 5.0; });
  sim.Run(10000);
  EXPECT_EQ(sim.Statistics().targetDelayMs, 400u);
  for (const Piece& p : sim.pieces) EXPECT_LE(p.delayMs, 400u + 10u);
}

// One packet far from the timeline is dropped and changes nothing; when the sender's timestamps
// really jump, two packets that agree start a new timeline.
TEST(JitterBuffer, ResynchronisesOnATimestampJumpButNotOnOneWildPacket) {
  Simulation sim;
  sim.SendStream(0, 100, [](int) { return 5.0; });
  sim.Send(100, 5, 8'000'000);
  sim.SendStream(101, 200, [](int) { return 5.0; });
  for (int n = 200; n < 300; ++n) sim.Send(n, 5, 3'000'000);
  sim.Run(3000);
  const JitterBufferStatistics s = sim.Statistics();
  EXPECT_EQ(s.packetsOffTimeline, 2u);  // the wild one, and the first after the jump
  EXPECT_EQ(s.resyncs, 1u);
  // The new timeline follows the old one at the same delay.
  std::vector<int> expected = Range(0, 100);
  for (int n : Range(101, 200)) expected.push_back(n);
  for (int n : Range(201, 297)) expected.push_back(n);
  EXPECT_EQ(sim.Played(), expected);
  EXPECT_NEAR(sim.PieceOf(202)->atMs, 2020 + 5 + 28, 1);
}

// A sender that stops for two seconds (its timestamps go on): a little made-up sound, then silence,
// and its next frame plays in its place, not earlier, without a new timeline.
TEST(JitterBuffer, AfterALongGapPlaysOnInPlace) {
  Simulation sim;
  sim.SendStream(0, 100, [](int) { return 5.0; });
  sim.SendStream(300, 400, [](int) { return 5.0; });
  sim.Run(4000);
  EXPECT_LE(sim.Count(Kind::Missing, 1000, 3000), 10);
  EXPECT_GT(sim.Count(Kind::Silence, 1000, 3000), 150);
  ASSERT_NE(sim.PieceOf(300), nullptr);
  EXPECT_NEAR(sim.PieceOf(300)->atMs, 3000 + 5 + 28, 1);
  EXPECT_EQ(sim.Statistics().resyncs, 0u);
}

}  // namespace
}  // namespace vantro::rtp
