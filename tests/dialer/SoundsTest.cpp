#include <thread>

#include <gtest/gtest.h>

#include "dialer/Sounds.h"
#include "res/Resources.h"
#include "runtime/PSoundPlayer.h"
#include "tests/support/SoundTestSupport.h"

// Key and dial tones heard on the chosen device, during a call, are RealCallWindowTest's.
TEST(Sounds, DialTonesStopWhenAsked) {
  REQUIRE_TEST_SERVER();
  TempDir folder(true);
  std::filesystem::copy(SourceResFolder() / "dtmf", "dtmf");
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
