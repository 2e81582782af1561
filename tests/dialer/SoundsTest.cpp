#include <gtest/gtest.h>

#include <thread>

#include "platform/SoundDevices.h"
#include "dialer/Sounds.h"
#include "res/Resources.h"
#include "runtime/PSoundPlayer.h"
#include "tests/support/SoundTestSupport.h"

namespace fs = std::filesystem;

namespace {

// A working folder with the shipped key tones in dtmf/, as the program has it.
struct WorkingFolder {
  TempDir dir{true};
  WorkingFolder() { fs::copy(SourceResFolder() / "dtmf", dir / "dtmf"); }
};

}  // namespace

TEST(Sounds, KeyToneIsPlayedOnTheChosenDeviceAndReturnsWhenHeard) {
  REQUIRE_TEST_SERVER();
  WorkingFolder folder;
  BackgroundRecorder mic("mic");
  ASSERT_TRUE(mic.Running());
  EXPECT_TRUE(PlayKeyTone(DeviceIndex(GetPlayDeviceNames(), "mic_feed"), "10"));
  const std::vector<int16_t> loud = LoudPart(mic.Stop());
  // The tone of "0": 941 Hz and 1336 Hz, and nothing of its neighbours.
  for (double hz : {941, 1336}) EXPECT_GT(ToneAmplitude(loud, hz), 0.15) << hz;
  for (double hz : {852, 1209}) EXPECT_LT(ToneAmplitude(loud, hz), 0.03) << hz;

  EXPECT_FALSE(PlayKeyTone(0, "11"));  // no such file: nothing
  fs::remove("dtmf/key1.wav");
  EXPECT_FALSE(PlayKeyTone(0, "1"));
}

TEST(Sounds, DialTonesFollowOneAnotherOnOneChannel) {
  REQUIRE_TEST_SERVER();
  WorkingFolder folder;
  BackgroundRecorder mic("mic");
  ASSERT_TRUE(mic.Running());
  CDialTonePlayer tones;
  EXPECT_EQ(tones.Play(DeviceIndex(GetPlayDeviceNames(), "mic_feed"), 3), 3);
  const std::vector<int16_t> rec = mic.Stop();
  // key1, key2, key3: the row tone stays, the column tone climbs from one to the next.
  const TonePeak k1 = FindTonePeak(rec, 1209), k2 = FindTonePeak(rec, 1336), k3 = FindTonePeak(rec, 1477);
  EXPECT_LT(k1.position, k2.position);
  EXPECT_LT(k2.position, k3.position);
  for (const TonePeak& k : {k1, k2, k3}) {
    EXPECT_GT(k.amplitude, 0.2);
    EXPECT_GT(ToneAmplitude(SampleWindow(rec, k.position, 400), 697), 0.2);
  }
}

TEST(Sounds, DialTonesStopWhenAsked) {
  REQUIRE_TEST_SERVER();
  WorkingFolder folder;
  CDialTonePlayer tones;
  // Two numbers of 50 characters, nine seconds of tones each, the second while the first plays.
  int played[2] = {-1, -1};
  std::thread first([&] { played[0] = tones.Play(0, 50); });
  std::thread second([&] { played[1] = tones.Play(1, 50); });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  tones.Stop();
  first.join();
  second.join();
  for (int p : played) {
    EXPECT_GE(p, 0);
    EXPECT_LT(p, 50);
  }
  EXPECT_EQ(tones.Play(0, 3), 0);  // stopped for good
}

TEST(Sounds, ClickAndBeepPlayInTheBackground) {
  REQUIRE_TEST_SERVER();
  ASSERT_FALSE(LoadSoundResource(kClickSound).isEmpty());
  BackgroundRecorder monitor("speaker.monitor");
  ASSERT_TRUE(monitor.Running());
  PSoundPlayer& player = PSoundPlayer::Instance();
  const unsigned before = player.GetPlayedCount();
  EXPECT_TRUE(PlayClick("speaker"));
  EXPECT_TRUE(Beep(600, 100, "speaker"));
  ASSERT_TRUE(player.WaitIdle(std::chrono::seconds(20)));
  EXPECT_EQ(player.GetPlayedCount(), before + 2);
  const std::vector<int16_t> rec = monitor.Stop();
  EXPECT_GT(FindTonePeak(rec, 600).amplitude, 0.2);        // the beep, 100 ms at 0.3
  EXPECT_GT(FindTonePeak(rec, 2000, 12).amplitude, 0.05);  // the click: 12 ms at up to 0.2

  EXPECT_FALSE(PlaySoundResourceAsync(9999));                              // no such resource: no sound in its place
  for (const auto& [hz, ms] : {std::pair{0, 100}, {600, 0}, {5000, 100}})  // 5000: above what 8000 samples/s carry
    EXPECT_FALSE(Beep(hz, ms)) << hz << " " << ms;
}
