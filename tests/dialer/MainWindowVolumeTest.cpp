#include <gtest/gtest.h>

#include "tests/dialer/WindowControls.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/SoundTestSupport.h"
#include "tests/support/VolumeCalls.h"
#include "tests/support/WorkFolder.h"

namespace {

class MainWindowVolume : public ::testing::Test {
 protected:
  MainWindowVolume() {
    CDialerSettings s;
    s.SaveSettings("", "", "", "0", "", 0, 2, 1);  // play device 2, record device 1
  }
  WorkFolder dir;
};

}  // namespace

TEST_F(MainWindowVolume, WithoutAMixerBothSlidersStartAtTheTop) {
  NoServer none;
  CDialerDlg dlg;
  dlg.LoadSettings();
  auto* speaker = Control<CTipSlider>(dlg, IDC_SPEAKER_VOLUME);
  auto* mic = Control<CTipSlider>(dlg, IDC_MIC_VOLUME);
  speaker->setEnabled(false);
  mic->setEnabled(false);
  dlg.StartVolumeInit();
  ASSERT_TRUE(ProcessEventsUntil([&] { return speaker->isEnabled() && mic->isEnabled(); }));
  EXPECT_EQ(speaker->maximum(), 65535);
  EXPECT_EQ(speaker->value(), 65535);
  EXPECT_EQ(mic->value(), 65535);
}

TEST_F(MainWindowVolume, MovingASliderSetsTheVolumeOfTheStoredDevicesMixer) {
  CDialerDlg dlg;
  dlg.LoadSettings();
  auto* speaker = Control<CTipSlider>(dlg, IDC_SPEAKER_VOLUME);
  auto* mic = Control<CTipSlider>(dlg, IDC_MIC_VOLUME);
  VolumeCalls rec(dlg.VolumeWriter());
  ApplyVolumeToSlider(speaker, 1000);
  ApplyVolumeToSlider(mic, 2000);

  speaker->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  ASSERT_EQ(rec.Calls().size(), 1u);
  mic->triggerAction(QAbstractSlider::SliderToMinimum);
  EXPECT_GT(speaker->value(), 1000);
  EXPECT_EQ(rec.Calls(),
            (std::vector<MixerCall>{{kSpk, kWaveOut, unsigned(speaker->value()), 2}, {kWaveIn, kMic, 0, 1}}));
}
