#include <gtest/gtest.h>

#include "platform/Mixer.h"
#include "platform/SoundDevices.h"
#include "tests/support/MixerLines.h"
#include "tests/support/SoundTestSupport.h"

TEST(Mixer, EverySliderPositionMapsOntoTheServersScaleAndBack) {
  EXPECT_EQ(MixerToServerVolume(0xFFFF), PSoundMixer::kVolumeNorm);
  EXPECT_EQ(MixerToServerVolume(0xFFFFFFFF), PSoundMixer::kVolumeNorm);
  EXPECT_EQ(ServerToMixerVolume(3 * PSoundMixer::kVolumeNorm), 0xFFFFu);  // amplified: full
  for (unsigned v = 0; v <= 0xFFFF; ++v) ASSERT_EQ(ServerToMixerVolume(MixerToServerVolume(v)), v);
}

TEST(Mixer, ALinesVolumeIsSetOnEveryChannelAndReadFromTheFirst) {
  REQUIRE_TEST_SERVER();
  ScopedPulseModule sink("module-null-sink sink_name=stereo_test channels=2");
  ASSERT_TRUE(sink.Loaded());
  const int play = DeviceIndex(GetPlayDeviceNames(), "stereo_test");
  ASSERT_GE(play, 0);
  ASSERT_TRUE(SetVolume(kSpk, kWaveOut, 40000, unsigned(play)));
  EXPECT_EQ(GetVolume(kSpk, kWaveOut, unsigned(play)), 40000);
  const std::string sinkVolume = Pactl("get-sink-volume stereo_test").value_or("");
  const std::string expected = std::to_string(MixerToServerVolume(40000));
  EXPECT_NE(sinkVolume.find("front-left: " + expected), std::string::npos) << sinkVolume;
  EXPECT_NE(sinkVolume.find("front-right: " + expected), std::string::npos) << sinkVolume;
  ASSERT_TRUE(Pactl("set-sink-volume stereo_test 1000 2000"));
  EXPECT_EQ(GetVolume(kSpk, kWaveOut, unsigned(play)), int(ServerToMixerVolume(1000)));
}

// The microphone's line is set and read for real in VolumeSlidersTest.
TEST(Mixer, UnknownMixersAndLinesThatDoNotGoTogetherHaveNoVolume) {
  REQUIRE_TEST_SERVER();
  const unsigned sinks = unsigned(GetPlayDeviceNames().size());
  EXPECT_EQ(GetVolume(kSpk, kWaveOut, sinks), -1);
  EXPECT_FALSE(SetVolume(kSpk, kWaveOut, 1000, sinks));
  EXPECT_EQ(GetVolume(kWaveIn, kMic, 1), -1);  // one record device only
  EXPECT_EQ(GetVolume(kSpk, kMic, 0), -1);
  EXPECT_EQ(GetVolume(kWaveIn, kWaveOut, 0), -1);
  EXPECT_FALSE(SetVolume(kSpk, kMic, 1000, 0));
}

TEST(Mixer, NoServerHasNoVolume) {
  NoServer none;
  EXPECT_EQ(GetVolume(kSpk, kWaveOut, 0), -1);
  EXPECT_FALSE(SetVolume(kSpk, kWaveOut, 1000, 0));
}
