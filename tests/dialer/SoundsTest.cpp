#include <thread>

#include <gtest/gtest.h>

#include "dialer/Sounds.h"
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
