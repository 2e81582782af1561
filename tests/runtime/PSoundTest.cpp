#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "runtime/PSound.h"
#include "tests/support/SoundTestSupport.h"

TEST(PSound, TonesHaveTheirFrequenciesAmplitudeAndSoftEnds) {
  const PSound t = PSound::Tones({697, 1209}, 0.3, 200, 8000, 5);
  ASSERT_EQ(t.GetFrameCount(), 1600u);
  const std::vector<int16_t>& s = t.GetSamples();
  EXPECT_NEAR(ToneAmplitude(s, 697), 0.3, 0.03);
  EXPECT_NEAR(ToneAmplitude(s, 1209), 0.3, 0.03);
  EXPECT_LT(ToneAmplitude(s, 1000), 0.01);
  // The fades: the first and last samples are (nearly) silent, the middle is at full level.
  EXPECT_EQ(s.front(), 0);
  EXPECT_LT(std::abs(int(s.back())), 200);
  const auto peak = *std::max_element(s.begin(), s.end());
  EXPECT_GT(peak, 0.55 * 32767);
  EXPECT_LE(peak, 0.6 * 32767 + 1);
}

TEST(PSound, StereoIsMixedDownToTheAverage) {
  const PSound stereo(2, 8000, {100, 300, -32768, -32768, 32767, -32767});
  const PSound mono = stereo.ConvertTo(1, 8000);
  EXPECT_EQ(mono.GetSamples(), (std::vector<int16_t>{200, -32768, 0}));
  const PSound back = mono.ConvertTo(2, 8000);
  EXPECT_EQ(back.GetSamples(), (std::vector<int16_t>{200, 200, -32768, -32768, 0, 0}));
}

TEST(PSound, RateConversionKeepsToneAndLength) {
  // A CD-rate stereo tone comes down to the channel format with its pitch and length.
  const PSound cd = PSound::Tones({1000}, 0.5, 300, 44100).ConvertTo(2, 44100);
  const PSound down = cd.ConvertTo(1, 8000);
  EXPECT_NEAR(double(down.GetFrameCount()), 2400, 2);
  EXPECT_NEAR(ToneAmplitude(down.GetSamples(), 1000), 0.5, 0.05);

  const PSound up = PSound::Tones({1000}, 0.5, 300, 8000).ConvertTo(1, 16000);
  EXPECT_EQ(up.GetFrameCount(), 4800u);
  EXPECT_NEAR(ToneAmplitude(up.GetSamples(), 1000, 16000), 0.5, 0.05);
}

TEST(PSound, ToneAboveTheNewHalfRateIsFilteredNotFolded) {
  // 6 kHz cannot exist at 8000 samples/s; unfiltered it would come back as 2 kHz.
  for (unsigned rate : {16000u, 48000u, 11025u}) {
    const PSound high = PSound::Tones({6000, 1000}, 0.4, 300, rate);
    const PSound down = high.ConvertTo(1, 8000);
    EXPECT_LT(ToneAmplitude(down.GetSamples(), 2000), 0.01) << rate;
    EXPECT_NEAR(ToneAmplitude(down.GetSamples(), 1000), 0.4, 0.05) << rate;
  }
}
