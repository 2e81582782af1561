// Conversion of a sound to the channel format (tones themselves are judged through the shipped key
// tones, ToneSetTest).
#include <gtest/gtest.h>

#include "runtime/PSound.h"
#include "tests/support/SoundTestSupport.h"

TEST(PSound, StereoIsMixedDownToTheAverageWithoutOverflow) {
  const PSound mono = PSound(2, 8000, {100, 300, -32768, -32768, 32767, -32767}).ConvertTo(1, 8000);
  EXPECT_EQ(mono.GetSamples(), (std::vector<int16_t>{200, -32768, 0}));
  EXPECT_EQ(mono.ConvertTo(2, 8000).GetSamples(), (std::vector<int16_t>{200, 200, -32768, -32768, 0, 0}));
}

TEST(PSound, RateConversionKeepsLengthAndFiltersWhatTheNewRateCannotCarry) {
  // 6 kHz cannot exist at 8000 samples/s; unfiltered it would come back as 2 kHz.
  for (unsigned rate : {48000u, 11025u}) {
    const PSound down = PSound::Tones({6000, 1000}, 0.4, 300, rate).ConvertTo(1, 8000);
    EXPECT_NEAR(double(down.GetFrameCount()), 2400, 2) << rate;
    EXPECT_LT(ToneAmplitude(down.GetSamples(), 2000), 0.01) << rate;
    EXPECT_NEAR(ToneAmplitude(down.GetSamples(), 1000), 0.4, 0.05) << rate;
  }
}
