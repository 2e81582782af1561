// The real device path on the test sound server: a tone into mic_feed, recorded from "mic", sent,
// played on "speaker" and heard on its monitor, as media role "phone".
#include "runtime/PSound.h"
#include "runtime/PSoundChannel.h"
#include "tests/support/MediaLoop.h"
#include "tests/support/SoundTestSupport.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace vantro::endpoint {
namespace {

using namespace std::chrono_literals;

// Plays a second of tone into a sink over and over until stopped (a whole number of periods: smooth joins).
class TonePlayer {
 public:
  TonePlayer(const std::string& sink, double frequency, double amplitude) {
    channel_.SetMediaRole("event");
    if (!channel_.Open(sink, PSoundChannel::Player)) return;
    thread_ = std::thread([this, tone = PSound::Tones({frequency}, amplitude, 1000, 8000, 0)] {
      while (!stop_ && channel_.Write(tone.GetData(), tone.GetFrameCount() * sizeof(std::int16_t))) {
      }
    });
  }
  ~TonePlayer() {
    stop_ = true;
    channel_.Abort();
    if (thread_.joinable()) thread_.join();
  }
  bool Playing() const { return thread_.joinable(); }

 private:
  PSoundChannel channel_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// (The codec does not change the device path; the codecs' own tests carry each.)
TEST(MediaSoundDevices, ToneFromTheMicrophoneComesOutOfTheSpeaker) {
  REQUIRE_TEST_SERVER();
  BackgroundRecorder recorder("speaker.monitor");
  ASSERT_TRUE(recorder.Running());
  TonePlayer tone("mic_feed", 440, 0.3);
  ASSERT_TRUE(tone.Playing());
  test::MediaLoop::Config config;
  config.capability = std::make_shared<H323_G711Capability>();
  config.soundDevices = true;
  config.recordDevice = "mic";
  config.playDevice = "speaker";
  test::MediaLoop loop(config);
  ASSERT_EQ(loop.Error(), "");
  ASSERT_TRUE(loop.Start());
  // An idle source of the test server takes up to a couple of seconds for its first data.
  ASSERT_TRUE(test::WaitUntil([&] { return loop.Transmitter().GetStatistics().packets >= 5; }));
  std::this_thread::sleep_for(1500ms);
  const auto inputs = Pactl("list sink-inputs");
  const auto outputs = Pactl("list source-outputs");
  const ChannelStatistics tx = loop.Transmitter().GetStatistics();
  loop.Close();
  const auto recorded = recorder.Stop();

  ASSERT_TRUE(inputs && outputs);
  EXPECT_NE(inputs->find("media.role = \"phone\""), std::string::npos) << *inputs;
  EXPECT_NE(outputs->find("media.role = \"phone\""), std::string::npos) << *outputs;
  EXPECT_GT(tx.averageLevel, 1000u);
  const TonePeak peak = FindTonePeak(recorded, 440, 200);
  EXPECT_NEAR(peak.amplitude, 0.3, 0.1);
  const auto loudest = SampleWindow(recorded, peak.position, 1600);
  EXPECT_LT(ToneAmplitude(loudest, 660), 0.03);
  // A second of it, not a moment.
  EXPECT_GT(LoudPart(recorded, 3000).size(), 8000u);
}

}  // namespace
}  // namespace vantro::endpoint
