// Two channels of our own over 127.0.0.1: impaired voice, pause, failing devices, session take-over.
// (The clean path: the end-to-end calls hear a tone both ways in each codec.)
#include "runtime/PTrace.h"
#include "stack/codecs/H323AudioCodec.h"
#include "stack/endpoint/DiscardAudioSink.h"
#include "stack/endpoint/H323ReceiveChannel.h"
#include "stack/endpoint/SilentAudioSource.h"
#include "stack/rtp/RtpPacket.h"
#include "tests/support/MediaLoop.h"
#include "tests/support/SoundTestSupport.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <mutex>
#include <thread>

namespace vantro::endpoint {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::Impairment;
using test::MediaLoop;
using test::SignalAudioSource;
using test::WaitUntil;

struct Format {
  const char* name;
  std::shared_ptr<const H323Capability> capability;
};

MediaLoop::Config ConfigFor(std::shared_ptr<const H323Capability> capability = std::make_shared<H323_G711Capability>(),
                            SignalAudioSource::Signal signal = SignalAudioSource::Tone(1000, 0.3)) {
  MediaLoop::Config c;
  c.capability = std::move(capability);
  c.signal = std::move(signal);
  return c;
}

double MeanAbs(const std::vector<std::int16_t>& pcm) {
  double sum = 0;
  for (std::int16_t s : pcm) sum += std::abs(int(s));
  return pcm.empty() ? 0 : sum / double(pcm.size());
}

class MediaChannels : public testing::TestWithParam<Format> {};

// 5 % loss, duplicates and held back, 0-30 ms jitter: each quarter second keeps a 150 Hz voice's harmonics and level.
TEST_P(MediaChannels, VoiceComesThroughLossDuplicationReorderingAndJitter) {
  const Format f = GetParam();
  MediaLoop::Config config = ConfigFor(f.capability, SignalAudioSource::Speech(0.5, 0));
  config.impairment.loss = 0.05;
  config.impairment.duplicate = 0.05;
  config.impairment.holdBack = 0.05;
  config.impairment.jitter = 30ms;
  MediaLoop loop(config);
  ASSERT_EQ(loop.Error(), "");
  ASSERT_TRUE(loop.Start());
  // Levels and statistics are read from another thread while the channels run.
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    for (; !stop; std::this_thread::sleep_for(1ms)) {
      loop.Transmitter().GetCodec()->GetAverageSignalLevel();
      loop.Receiver().GetStatistics();
    }
  });
  std::this_thread::sleep_for(3s);
  stop = true;
  reader.join();
  const ChannelStatistics rx = loop.Receiver().GetStatistics();
  loop.Close();

  const auto speech = SignalAudioSource::Speech(0.5, 0);
  std::vector<std::int16_t> sent(8000);
  for (std::size_t i = 0; i < sent.size(); ++i) sent[i] = speech(i);
  const double sentLevel = MeanAbs(sent);
  const auto pcm = loop.Sink().Samples();
  ASSERT_GT(pcm.size(), 16000u);
  double total = 0;
  int windows = 0;
  for (std::size_t at = 4000; at + 2000 <= pcm.size(); at += 2000, ++windows) {
    const auto w = SampleWindow(pcm, at, 2000);
    EXPECT_GT(ToneAmplitude(w, 750), 4 * ToneAmplitude(w, 675)) << "no harmonics at sample " << at;
    EXPECT_GT(MeanAbs(w), 0.2 * sentLevel) << "a gap at sample " << at;
    EXPECT_LT(MeanAbs(w), 2.5 * sentLevel) << "too loud at sample " << at;
    total += MeanAbs(w);
  }
  EXPECT_GT(total / windows, 0.55 * sentLevel);
  // The relay did spoil the stream, and the channel noticed.
  EXPECT_GT(loop.Relay()->Lost(), 0u);
  EXPECT_GT(rx.framesConcealed, 0u);
  EXPECT_GT(rx.packetsDuplicate + rx.packetsLate, 0u);
  EXPECT_EQ(rx.packetsDropped, 0u);
  EXPECT_GT(rx.jitterMs, 1.0);
}

INSTANTIATE_TEST_SUITE_P(Codecs, MediaChannels,
                         testing::Values(Format{"G711u", std::make_shared<H323_G711Capability>()},
                                         Format{"G711A",
                                                std::make_shared<H323_G711Capability>(H323_G711Capability::ALaw)},
                                         Format{"G729A", std::make_shared<H323_G729ACapability>()},
                                         Format{"G7231", std::make_shared<H323_G7231Capability>(true)}),
                         [](const auto& info) { return std::string(info.param.name); });

// A stream with one marked join after its first packet, its step in [lo, hi]; the others step 160 to most.
void ExpectOneJoin(const test::UdpImpairmentRelay& relay, std::size_t atLeast, std::int32_t lo, std::int32_t hi,
                   std::int32_t most, bool whole) {
  std::vector<rtp::RtpPacket> packets;
  for (const auto& d : relay.Received())
    if (auto p = rtp::RtpPacket::Parse(d)) packets.push_back(*p);
  ASSERT_GT(packets.size(), atLeast);
  EXPECT_TRUE(packets.front().marker);
  int marked = 0;
  for (std::size_t i = 1; i < packets.size(); ++i) {
    EXPECT_EQ(static_cast<std::uint16_t>(packets[i].sequence - packets[i - 1].sequence), 1);
    const auto step = static_cast<std::int32_t>(packets[i].timestamp - packets[i - 1].timestamp);
    EXPECT_EQ(whole ? step % 160 : 0, 0) << "packet " << i;
    marked += packets[i].marker;
    EXPECT_GE(step, packets[i].marker ? lo : 160) << "packet " << i;
    EXPECT_LE(step, packets[i].marker ? hi : most) << "packet " << i;
  }
  EXPECT_EQ(marked, 1);
}

// Paused, transmit sends nothing and resumes marked; receive plays silence, its buffer bounded.
TEST(MediaPause, SilencesEachDirection) {
  MediaLoop loop(ConfigFor());
  ASSERT_TRUE(loop.Start());
  std::this_thread::sleep_for(600ms);
  loop.Transmitter().SetPause(true);
  EXPECT_TRUE(loop.Transmitter().IsPaused());
  std::this_thread::sleep_for(100ms);
  const std::uint64_t sentBefore = loop.Transmitter().GetStatistics().packets;
  std::this_thread::sleep_for(500ms);
  const std::uint64_t sentDuring = loop.Transmitter().GetStatistics().packets;
  loop.Transmitter().SetPause(false);
  std::this_thread::sleep_for(500ms);

  loop.Receiver().SetPause(true);
  const Clock::time_point mutedAt = Clock::now();
  const std::uint64_t heardBefore = loop.Receiver().GetStatistics().packets;
  std::this_thread::sleep_for(500ms);
  const std::uint64_t heardDuring = loop.Receiver().GetStatistics().packets;
  const std::size_t buffered =
      dynamic_cast<H323ReceiveChannel&>(loop.Receiver()).GetJitterBufferStatistics().bufferedFrames;
  const Clock::time_point unmutedAt = Clock::now();
  loop.Receiver().SetPause(false);
  std::this_thread::sleep_for(400ms);
  loop.Close();

  EXPECT_EQ(sentDuring, sentBefore);
  EXPECT_GT(heardDuring, heardBefore + 15);
  EXPECT_LE(buffered, 10u);

  const test::RecordingAudioSink& sink = loop.Sink();
  const auto pcm = sink.Samples();
  auto level = [&](Clock::time_point from, Clock::time_point to) {
    const std::uint64_t a = sink.SampleAt(from), b = sink.SampleAt(to);
    return ToneAmplitude(SampleWindow(pcm, a, b - a), 1000);
  };
  // (What the far end hears of a paused microphone, and both levels paused: RealCallWindowTest.)
  EXPECT_LT(level(mutedAt + 20ms, unmutedAt), 0.01) << "the paused speaker still plays";
  EXPECT_NEAR(level(unmutedAt + 50ms, unmutedAt + 300ms), 0.3, 0.03);

  // On the wire the first packet after the pause is marked, its timestamp as far on as the pause lasted.
  ExpectOneJoin(*loop.Relay(), 50, 8 * 500, 8 * 800, 160, true);
}

// A device that fails after a fifth of a second.
class Failing : public AudioSource, public AudioSink {
 public:
  bool Read(std::span<std::int16_t> s) override { return Step(s.size()); }
  bool Write(std::span<const std::int16_t> s) override { return Step(s.size()); }
  void Abort() override { pacer_.Abort(); }

 private:
  bool Step(std::size_t n) {
    used_ += n;
    return used_ < 1600 && pacer_.Wait(n);
  }
  std::size_t used_ = 0;
  AudioPacer pacer_;
};

// Devices missing or failing mid-call: the channels go on, and each says so once.
TEST(MediaDevices, MissingOrFailingDevicesDoNotEndTheChannels) {
  std::mutex linesMutex;
  std::vector<std::string> lines;
  PTrace::SetSink([&](unsigned, std::string_view component, std::string_view text) {
    std::lock_guard lock(linesMutex);
    if (component == "Media") lines.emplace_back(text);
  });
  auto count = [&](std::string_view what) {
    std::lock_guard lock(linesMutex);
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& l) { return l.find(what) != std::string::npos; });
  };
  for (bool fail : {false, true}) {
    MediaLoop::Config config = ConfigFor(std::make_shared<H323_G729ACapability>());
    config.devices.openSource = [fail](const std::string&) {
      return fail ? std::unique_ptr<AudioSource>(std::make_unique<Failing>()) : nullptr;
    };
    config.devices.openSink = [fail](const std::string&) {
      return fail ? std::unique_ptr<AudioSink>(std::make_unique<Failing>()) : nullptr;
    };
    const char* record = fail ? "the record device failed" : "no record device";
    const char* play = fail ? "the play device failed" : "no play device";
    {
      MediaLoop loop(config);
      ASSERT_TRUE(loop.Start());
      ASSERT_TRUE(WaitUntil([&] { return count(record) + count(play) == 2; }));
      const std::uint64_t sent = loop.Transmitter().GetStatistics().packets;
      const std::uint64_t received = loop.Receiver().GetStatistics().packets;
      EXPECT_TRUE(WaitUntil([&] {
        return loop.Transmitter().GetStatistics().packets > sent + 10 &&
               loop.Receiver().GetStatistics().packets > received + 10;
      }));
      EXPECT_TRUE(loop.Receiver().IsRunning());
      if (!fail) {
        EXPECT_EQ(loop.Receiver().GetCodec()->GetAverageSignalLevel(), 0u);
      }
    }
    EXPECT_EQ(count(record), 1);
    EXPECT_EQ(count(play), 1);
  }
  PTrace::SetSink(nullptr);
}

// Another G.711 channel (number 9) on a session of the loop, with silent devices.
std::unique_ptr<H323Channel> AnotherChannel(std::shared_ptr<H323RtpSession> session,
                                            H323Channel::Directions direction) {
  H323Channel::Parameters p;
  p.capability = std::make_shared<H323_G711Capability>();
  p.direction = direction;
  p.number = 9;
  MediaOptions options;
  options.devices.openSource = [](const std::string&) { return std::make_unique<SilentAudioSource>(); };
  options.devices.openSink = [](const std::string&) { return std::make_unique<DiscardAudioSink>(); };
  return CreateAudioChannel(std::move(session), p, options);
}

// The far end reopens its channel: the old receive channel closing leaves the packets to the new.
TEST(MediaSession, AReceiveChannelThatTookTheSessionOverKeepsItWhenTheOldOneCloses) {
  MediaLoop loop(ConfigFor());
  ASSERT_TRUE(loop.Start());
  ASSERT_TRUE(WaitUntil([&] { return loop.Receiver().GetStatistics().packets > 5; }));
  auto second = AnotherChannel(loop.SharedReceivingSession(), H323Channel::IsReceiver);
  ASSERT_TRUE(second && second->Start());
  loop.Receiver().Close();
  const std::uint64_t before = second->GetStatistics().packets;
  EXPECT_TRUE(WaitUntil([&] { return second->GetStatistics().packets > before + 10; }));
  second->Close();
}

// A second transmit channel (another codec asked for) takes over, the timestamps going on.
TEST(MediaSession, ATransmitChannelThatTakesOverGoesOnWithTheTimeline) {
  MediaLoop loop(ConfigFor());
  ASSERT_TRUE(loop.Start());
  ASSERT_TRUE(WaitUntil([&] { return loop.Transmitter().GetStatistics().packets > 10; }));
  auto second = AnotherChannel(loop.SharedSendingSession(), H323Channel::IsTransmitter);
  ASSERT_TRUE(second && second->Start());
  const std::size_t before = loop.Relay()->Received().size();
  ASSERT_TRUE(WaitUntil([&] { return loop.Relay()->Received().size() > before + 10; }));
  EXPECT_TRUE(loop.Transmitter().IsRunning());
  loop.Transmitter().Close();
  second->Close();
  ExpectOneJoin(*loop.Relay(), 20, 160, 8 * 100, 8 * 100, false);
}

}  // namespace
}  // namespace vantro::endpoint
