// The sound layer against the private test daemon: sinks "speaker" and "mic_feed", source "mic"
// that records what mic_feed plays.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "runtime/PSoundChannel.h"
#include "runtime/PSoundMixer.h"
#include "runtime/PSoundPlayer.h"
#include "tests/support/SoundTestSupport.h"

// That what a sink plays is heard on its monitor, and what mic_feed plays on mic, is
// PlayerPlaysQueuedSoundsInTheBackground's here and SoundsTest's (the window's key and dial tones).
TEST(PSoundChannelServer, DeviceListsAreTheServersSinksAndSourcesWithoutMonitors) {
  REQUIRE_TEST_SERVER();
  EXPECT_EQ(PSoundChannel::GetDeviceNames(PSoundChannel::Player), PactlNames("sinks"));

  std::vector<std::string> sources = PactlNames("sources");
  std::erase_if(sources, [](const std::string& n) { return n.ends_with(".monitor"); });
  EXPECT_EQ(PSoundChannel::GetDeviceNames(PSoundChannel::Recorder), sources);
  EXPECT_EQ(sources, std::vector<std::string>{"mic"});

  const std::vector<PSoundDevice> sinks = PSoundChannel::GetDevices(PSoundChannel::Player);
  ASSERT_GE(sinks.size(), 2u);
  EXPECT_EQ(sinks[0].name, "speaker");
  EXPECT_EQ(sinks[1].name, "mic_feed");
  EXPECT_FALSE(sinks[0].description.empty());
}

TEST(PSoundChannelServer, ReadGivesExactlyTheBytesAskedFor) {
  REQUIRE_TEST_SERVER();
  PSoundChannel rec("speaker.monitor", PSoundChannel::Recorder);
  ASSERT_TRUE(rec.IsOpen()) << rec.GetLastError();
  std::vector<int16_t> buf(1000, 0x5555);
  ASSERT_TRUE(rec.Read(buf.data(), 2 * 333));
  EXPECT_EQ(rec.GetLastReadCount(), 666u);
  EXPECT_EQ(buf[333], 0x5555);  // nothing past what was asked for
  ASSERT_TRUE(rec.Read(buf.data(), 2 * 1000));
  EXPECT_EQ(rec.GetLastReadCount(), 2000u);
}

TEST(PSoundChannelServer, BuffersAreSmall) {
  REQUIRE_TEST_SERVER();
  PSoundChannel player("speaker", PSoundChannel::Player);
  ASSERT_TRUE(player.IsOpen());
  // 40 ms at 16 000 bytes/s, give or take the server's rounding; its default would be seconds.
  EXPECT_LE(player.GetServerBufferBytes(), 1600u);
  PSoundChannel rec;
  ASSERT_TRUE(rec.SetBuffers(480, 3));
  ASSERT_TRUE(rec.Open("speaker.monitor", PSoundChannel::Recorder));
  EXPECT_LE(rec.GetServerBufferBytes(), 960u);
  EXPECT_FALSE(rec.SetBuffers(0, 2));
}

TEST(PSoundChannelServer, WrongUseFailsCleanly) {
  REQUIRE_TEST_SERVER();
  PSoundChannel ch;
  EXPECT_FALSE(ch.Open("no_such_sink", PSoundChannel::Player));
  EXPECT_FALSE(ch.IsOpen());
  EXPECT_FALSE(ch.Open("speaker", PSoundChannel::Player, 1, 8000, 8));
  EXPECT_FALSE(ch.Open("speaker", PSoundChannel::Player, 3));
  int16_t s[2] = {};
  EXPECT_FALSE(ch.Write(s, sizeof s));

  ASSERT_TRUE(ch.Open("", PSoundChannel::Player));  // the default sink
  EXPECT_FALSE(ch.Read(s, sizeof s));               // a player does not record
  EXPECT_FALSE(ch.Write(s, 3));                     // not whole frames
  EXPECT_TRUE(ch.Write(s, sizeof s));
}

TEST(PSoundChannelServer, DeviceThatVanishesEndsOrMovesTheStreamWithoutHanging) {
  REQUIRE_TEST_SERVER();
  ScopedPulseModule sink("module-null-sink sink_name=vanishing");
  ASSERT_TRUE(sink.Loaded());
  PSoundChannel player("vanishing", PSoundChannel::Player);
  ASSERT_TRUE(player.IsOpen()) << player.GetLastError();
  PSoundChannel rec("vanishing.monitor", PSoundChannel::Recorder);
  ASSERT_TRUE(rec.IsOpen()) << rec.GetLastError();
  sink.Unload();

  // The server may move the streams to other devices, or end them: either way every call returns,
  // and an ended stream says so.
  std::vector<int16_t> buf(800);
  for (int i = 0; i < 5; ++i) {
    if (!player.Write(buf.data(), buf.size() * 2)) {
      EXPECT_EQ(player.GetLastError(), "the device went away");
      break;
    }
  }
  for (int i = 0; i < 5; ++i) {
    if (!rec.Read(buf.data(), buf.size() * 2)) {
      EXPECT_EQ(rec.GetLastError(), "the device went away");
      break;
    }
  }
  EXPECT_FALSE(player.Open("vanishing", PSoundChannel::Player));
  EXPECT_FALSE(rec.Open("vanishing.monitor", PSoundChannel::Recorder));
}

TEST(PSoundChannelServer, AbortFromAnotherThreadEndsABlockingRead) {
  REQUIRE_TEST_SERVER();
  PSoundChannel rec("speaker.monitor", PSoundChannel::Recorder);
  ASSERT_TRUE(rec.IsOpen());
  std::thread aborter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    rec.Abort();
  });
  // Ten minutes of sound: only the abort can end this read early.
  std::vector<int16_t> buf(8000 * 600);
  EXPECT_FALSE(rec.Read(buf.data(), buf.size() * 2));
  EXPECT_EQ(rec.GetLastError(), "aborted");
  aborter.join();
  EXPECT_FALSE(rec.Open("speaker.monitor", PSoundChannel::Recorder));  // stays aborted
}

TEST(PSoundChannelServer, SinkVolumeChangesWhatIsHeard) {
  REQUIRE_TEST_SERVER();
  ScopedPulseModule sink("module-null-sink sink_name=volume_test");
  ASSERT_TRUE(sink.Loaded());
  const PSound tone = PSound::Tones({1000}, 0.5, 300);
  auto heard = [&](uint32_t volume) {
    EXPECT_TRUE(PSoundMixer::SetVolume(PSoundChannel::Player, "volume_test", volume));
    BackgroundRecorder recorder("volume_test.monitor");
    PSoundChannel player("volume_test", PSoundChannel::Player);
    EXPECT_TRUE(player.PlaySound(tone, true));
    return ToneAmplitude(LoudPart(recorder.Stop(), 100), 1000);
  };
  const double full = heard(PSoundMixer::kVolumeNorm);
  const double half = heard(PSoundMixer::kVolumeNorm / 2);  // the server's scale is cubic
  EXPECT_NEAR(full, 0.5, 0.05);
  EXPECT_NEAR(half / full, 0.125, 0.03);
}

TEST(PSoundChannelServer, PlayerPlaysQueuedSoundsInTheBackground) {
  REQUIRE_TEST_SERVER();
  PSoundPlayer player;
  BackgroundRecorder recorder("speaker.monitor");
  ASSERT_TRUE(recorder.Running());
  EXPECT_TRUE(player.Play(PSound::Tones({600}, 0.3, 100), "speaker"));
  EXPECT_TRUE(player.Play(PSound::Tones({1477}, 0.3, 100), "speaker"));
  ASSERT_TRUE(player.WaitIdle(std::chrono::seconds(20)));
  EXPECT_EQ(player.GetPlayedCount(), 2u);
  const std::vector<int16_t> rec = recorder.Stop();
  const TonePeak first = FindTonePeak(rec, 600), second = FindTonePeak(rec, 1477);
  EXPECT_GT(first.amplitude, 0.2);
  EXPECT_GT(second.amplitude, 0.2);
  EXPECT_LT(first.position, second.position);

  // A long sound is cut short by Stop; what waited behind it is dropped.
  EXPECT_TRUE(player.Play(PSound::Tones({440}, 0.1, 60000), "speaker"));
  EXPECT_TRUE(player.Play(PSound::Tones({440}, 0.1, 60000), "speaker"));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  player.Stop();
  ASSERT_TRUE(player.WaitIdle(std::chrono::seconds(20)));
  EXPECT_EQ(player.GetPlayedCount(), 2u);
}
