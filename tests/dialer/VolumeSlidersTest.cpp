// The window's volume sliders against the test sound server's mixers.
#include <gtest/gtest.h>

#include "platform/Mixer.h"
#include "platform/SoundDevices.h"
#include "tests/dialer/WindowControls.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/SoundTestSupport.h"
#include "tests/support/WorkFolder.h"

using namespace std::chrono_literals;

namespace {

constexpr unsigned kSpk = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, kWaveOut = MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT;
constexpr unsigned kWaveIn = MIXERLINE_COMPONENTTYPE_DST_WAVEIN, kMic = MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE;

// The window with these stored play and record devices, its sliders filled from their mixers.
struct VolumeWindow {
  VolumeWindow(int play, int record) {
    CDialerSettings s;
    s.SaveSettings("", "", "", "0", "", 0, play, record);
    dlg.LoadSettings();
    speaker->setEnabled(false);
    mic->setEnabled(false);
    dlg.StartVolumeInit();
    EXPECT_TRUE(ProcessEventsUntil([&] { return speaker->isEnabled() && mic->isEnabled(); }));
  }
  WorkFolder dir;
  CDialerDlg dlg;
  CTipSlider* speaker = Control<CTipSlider>(dlg, IDC_SPEAKER_VOLUME);
  CTipSlider* mic = Control<CTipSlider>(dlg, IDC_MIC_VOLUME);
};

}  // namespace

TEST(VolumeSliders, ShowAndSetTheVolumesOfTheStoredDevicesOnTheUsersMovesOnly) {
  REQUIRE_TEST_SERVER();
  ScopedPulseModule sink("module-null-sink sink_name=slider_sink channels=2");
  ScopedPulseModule source("module-null-source source_name=slider_source channels=1");
  ASSERT_TRUE(sink.Loaded() && source.Loaded());
  const int play = DeviceIndex(GetPlayDeviceNames(), "slider_sink");
  const int record = DeviceIndex(GetRecordDeviceNames(), "slider_source");
  ASSERT_TRUE(SetVolume(kSpk, kWaveOut, 30000, unsigned(play)));
  ASSERT_TRUE(SetVolume(kWaveIn, kMic, 20000, unsigned(record)));
  VolumeWindow w(play, record);
  EXPECT_EQ(w.speaker->value(), 30000);
  EXPECT_EQ(w.mic->value(), 20000);

  w.speaker->SetPos(100);  // the program's own value sets nothing
  w.mic->triggerAction(QAbstractSlider::SliderToMaximum);
  ASSERT_TRUE(w.dlg.VolumeWriter().WaitIdle(10s));
  EXPECT_EQ(GetVolume(kSpk, kWaveOut, unsigned(play)), 30000);
  EXPECT_EQ(GetVolume(kWaveIn, kMic, unsigned(record)), 0xFFFF);
  w.speaker->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  ASSERT_TRUE(w.dlg.VolumeWriter().WaitIdle(10s));
  EXPECT_GT(w.speaker->value(), 100);
  EXPECT_EQ(GetVolume(kSpk, kWaveOut, unsigned(play)), w.speaker->value());
  const std::string sinkVolume = Pactl("get-sink-volume slider_sink").value_or("");
  const std::string set = std::to_string(MixerToServerVolume(unsigned(w.speaker->value())));
  for (const char* channel : {"front-left: ", "front-right: "})
    EXPECT_NE(sinkVolume.find(channel + set), std::string::npos) << sinkVolume;

  VolumeWindow damaged(-1, 1000);  // stored indexes of no device: no mixer
  EXPECT_EQ(damaged.speaker->value(), 65535);
  EXPECT_EQ(damaged.mic->value(), 65535);
}
