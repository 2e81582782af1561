#include <gtest/gtest.h>

#include <mutex>

#include "platform/Mixer.h"
#include "tests/dialer/WindowControls.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/SoundTestSupport.h"
#include "tests/support/WorkFolder.h"

namespace {

class MainWindowVolume : public ::testing::Test {
 protected:
  MainWindowVolume() {
    // Stored devices: play 2, record 1.
    CDialerSettings s;
    s.SaveSettings("", "", "", "0", "", 0, 2, 1);
  }
  WorkFolder dir;
};

struct Call {
  unsigned dst, src, value, mixer;
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
  std::mutex mutex;
  std::vector<Call> calls;
  dlg.VolumeWriter().SetSetter([&](unsigned d, unsigned s, unsigned v, unsigned m) {
    std::lock_guard lock(mutex);
    calls.push_back({d, s, v, m});
    return true;
  });
  ApplyVolumeToSlider(speaker, 1000);
  ApplyVolumeToSlider(mic, 2000);

  speaker->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  ASSERT_TRUE(dlg.VolumeWriter().WaitIdle(std::chrono::seconds(10)));
  mic->triggerAction(QAbstractSlider::SliderToMinimum);
  ASSERT_TRUE(dlg.VolumeWriter().WaitIdle(std::chrono::seconds(10)));

  std::lock_guard lock(mutex);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].dst, unsigned(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS));
  EXPECT_EQ(calls[0].src, unsigned(MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT));
  EXPECT_EQ(calls[0].value, unsigned(speaker->value()));
  EXPECT_GT(calls[0].value, 1000u);
  EXPECT_EQ(calls[0].mixer, 2u);
  EXPECT_EQ(calls[1].dst, unsigned(MIXERLINE_COMPONENTTYPE_DST_WAVEIN));
  EXPECT_EQ(calls[1].src, unsigned(MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE));
  EXPECT_EQ(calls[1].value, 0u);
  EXPECT_EQ(calls[1].mixer, 1u);
}
