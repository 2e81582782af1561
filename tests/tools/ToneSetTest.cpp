#include <gtest/gtest.h>

#include <algorithm>

#include "runtime/PWAVFile.h"
#include "tests/support/SoundTestSupport.h"
#include "tools/tonegen/ToneSet.h"

namespace {

const std::vector<double> kDtmf = {697, 770, 852, 941, 1209, 1336, 1477};

}  // namespace

TEST(ToneSet, CommittedFilesAreWhatTheGeneratorMakes) {
  const std::vector<ShippedSound> sounds = ShippedSounds();
  ASSERT_EQ(sounds.size(), 13u);
  for (const ShippedSound& s : sounds) {
    const std::vector<uint8_t> expected = PWAVFile::Encode(s.sound);
    const std::string committed = ReadFileBytes(SourceResFolder() / s.path);
    EXPECT_TRUE(committed == std::string(expected.begin(), expected.end()))
        << s.path << " differs from the generator's output: run build/tools/tonegen/tonegen";
  }
}

TEST(ToneSet, KeyTonesAreTheirKeysDtmfPairs) {
  for (const char* name : {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "star", "hash"}) {
    PSound tone;
    ASSERT_TRUE(PWAVFile::Read((SourceResFolder() / "dtmf" / (std::string("key") + name + ".wav")).string(), tone));
    EXPECT_EQ(tone.GetChannels(), 1u);
    EXPECT_EQ(tone.GetSampleRate(), 8000u);
    EXPECT_NEAR(tone.GetDurationSeconds(), 0.18, 0.03) << name;
    double low = 0, high = 0;
    ASSERT_TRUE(DtmfFrequencies(KeyNameToCharacter(name), low, high)) << name;
    for (double f : kDtmf) {
      const double a = ToneAmplitude(tone.GetSamples(), f);
      if (f == low || f == high)
        EXPECT_NEAR(a, 0.316, 0.04) << name << " " << f;  // -10 dBFS
      else
        EXPECT_LT(a, 0.02) << name << " " << f;
    }
    const auto peak = std::max_element(tone.GetSamples().begin(), tone.GetSamples().end(),
                                       [](int16_t a, int16_t b) { return std::abs(a) < std::abs(b); });
    EXPECT_LT(std::abs(int(*peak)), 32767 * 0.65) << name;  // headroom, no clipping
  }
}

TEST(ToneSet, ClickIsShortAndSoft) {
  PSound click;
  ASSERT_TRUE(PWAVFile::Read((SourceResFolder() / "sounds" / "181.wav").string(), click));
  EXPECT_LE(click.GetDurationSeconds(), 0.02);
  for (int16_t s : click.GetSamples()) ASSERT_LT(std::abs(int(s)), 32767 / 4);
  EXPECT_EQ(click.GetSamples().front(), 0);
}
