#include <gtest/gtest.h>

#include "platform/Mixer.h"
#include "platform/SoundDevices.h"
#include "tests/support/MixerLines.h"
#include "tests/support/SoundTestSupport.h"

TEST(Mixer, ValuesMapOntoTheServersScaleAndBack) {
  EXPECT_EQ(MixerToServerVolume(0), 0u);
  EXPECT_EQ(MixerToServerVolume(0xFFFF), PSoundMixer::kVolumeNorm);
  EXPECT_EQ(MixerToServerVolume(0x10000), PSoundMixer::kVolumeNorm);
  EXPECT_EQ(MixerToServerVolume(0xFFFFFFFF), PSoundMixer::kVolumeNorm);
  EXPECT_EQ(ServerToMixerVolume(PSoundMixer::kVolumeNorm), 0xFFFFu);
  EXPECT_EQ(ServerToMixerVolume(3 * PSoundMixer::kVolumeNorm), 0xFFFFu);  // amplified: full
  // Every slider position comes back as itself.
  for (unsigned v = 0; v <= 0xFFFF; ++v) ASSERT_EQ(ServerToMixerVolume(MixerToServerVolume(v)), v);
}

TEST(Mixer, VolumesOfBothLinesAreSetOnEveryChannelAndReadBack) {
  REQUIRE_TEST_SERVER();
  ScopedPulseModule sink("module-null-sink sink_name=stereo_test channels=2");
  ScopedPulseModule source("module-null-source source_name=mixer_source channels=2");
  ASSERT_TRUE(sink.Loaded() && source.Loaded());
  const int play = DeviceIndex(GetPlayDeviceNames(), "stereo_test");
  const int record = DeviceIndex(GetRecordDeviceNames(), "mixer_source");
  ASSERT_TRUE(play >= 0 && record >= 0);
  const unsigned playMixer = unsigned(play), recordMixer = unsigned(record);

  ASSERT_TRUE(SetVolume(kSpk, kWaveOut, 40000, playMixer));
  EXPECT_EQ(GetVolume(kSpk, kWaveOut, playMixer), 40000);
  const std::string sinkVolume = Pactl("get-sink-volume stereo_test").value_or("");
  const std::string expected = std::to_string(MixerToServerVolume(40000));
  EXPECT_NE(sinkVolume.find("front-left: " + expected), std::string::npos) << sinkVolume;
  EXPECT_NE(sinkVolume.find("front-right: " + expected), std::string::npos) << sinkVolume;

  ASSERT_TRUE(SetVolume(kWaveIn, kMic, 0, recordMixer));
  EXPECT_EQ(GetVolume(kWaveIn, kMic, recordMixer), 0);
  ASSERT_TRUE(SetVolume(kWaveIn, kMic, 0xFFFF, recordMixer));
  EXPECT_EQ(GetVolume(kWaveIn, kMic, recordMixer), 0xFFFF);
  // The speaker line was left alone by the microphone's.
  EXPECT_EQ(GetVolume(kSpk, kWaveOut, playMixer), 40000);

  // Only the first channel is read: a line set unevenly from outside shows its first channel.
  ASSERT_TRUE(Pactl("set-sink-volume stereo_test 1000 2000"));
  EXPECT_EQ(GetVolume(kSpk, kWaveOut, playMixer), int(ServerToMixerVolume(1000)));
}

TEST(Mixer, UnknownMixersAndLinesHaveNoVolume) {
  REQUIRE_TEST_SERVER();
  const unsigned sinks = unsigned(GetPlayDeviceNames().size());
  EXPECT_EQ(GetVolume(kSpk, kWaveOut, sinks), -1);
  EXPECT_FALSE(SetVolume(kSpk, kWaveOut, 1000, sinks));
  EXPECT_EQ(GetVolume(kWaveIn, kMic, 1), -1);  // one record device only
  // Lines that do not go together.
  EXPECT_EQ(GetVolume(kSpk, kMic, 0), -1);
  EXPECT_EQ(GetVolume(kWaveIn, kWaveOut, 0), -1);
  EXPECT_FALSE(SetVolume(kSpk, kMic, 1000, 0));
  EXPECT_EQ(GetVolume(5, kWaveOut, 0), -1);
}

TEST(Mixer, NoServerHasNoVolume) {
  NoServer none;
  EXPECT_EQ(GetVolume(kSpk, kWaveOut, 0), -1);
  EXPECT_EQ(GetVolume(kWaveIn, kMic, 0), -1);
  EXPECT_FALSE(SetVolume(kSpk, kWaveOut, 1000, 0));
}
