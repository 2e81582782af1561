// The shipped sounds: each key tone is its key's DTMF pair and nothing else, and the click is short
// and soft.
#include <gtest/gtest.h>

#include <algorithm>

#include "runtime/PWAVFile.h"
#include "tests/support/SoundTestSupport.h"
#include "tools/tonegen/ToneSet.h"

TEST(ToneSet, KeyTonesAreTheirKeysDtmfPairsAndTheClickIsShortAndSoft) {
  const double rows[] = {697, 770, 852, 941}, columns[] = {1209, 1336, 1477};
  const char* const keys[4][3] = {{"1", "2", "3"}, {"4", "5", "6"}, {"7", "8", "9"}, {"star", "10", "hash"}};
  auto read = [](const std::string& file) {
    PSound sound;
    EXPECT_TRUE(PWAVFile::Read((SourceResFolder() / file).string(), sound)) << file;
    EXPECT_EQ(sound.GetSampleRate(), 8000u);
    EXPECT_EQ(sound.GetChannels(), 1u);
    return sound;
  };
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 3; ++column) {
      const std::string name = keys[row][column];
      const PSound tone = read("dtmf/key" + name + ".wav");
      EXPECT_NEAR(tone.GetDurationSeconds(), 0.18, 0.03) << name;
      for (double f : {697.0, 770.0, 852.0, 941.0, 1209.0, 1336.0, 1477.0}) {
        const bool ours = f == rows[row] || f == columns[column];
        EXPECT_NEAR(ToneAmplitude(tone.GetSamples(), f), ours ? 0.316 : 0, ours ? 0.04 : 0.02) << name << " " << f;
      }
      const auto [low, high] = std::minmax_element(tone.GetSamples().begin(), tone.GetSamples().end());
      EXPECT_LT(std::max(-int(*low), int(*high)), 32767 * 0.65) << name;  // headroom, no clipping
    }
  const PSound click = read("sounds/181.wav");
  EXPECT_LE(click.GetDurationSeconds(), 0.02);
  for (int16_t s : click.GetSamples()) ASSERT_LT(std::abs(int(s)), 32767 / 4);
  EXPECT_EQ(click.GetSamples().front(), 0);
}
