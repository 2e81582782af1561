#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <thread>

#include <QSlider>

#include "platform/SoundDevices.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/SoundTestSupport.h"
#include "tests/support/VolumeCalls.h"

namespace {

using Call = MixerCall;

void RunVolumeInit(QSlider& speaker, QSlider& mic, unsigned playMixer, unsigned recordMixer) {
  std::thread(VolumeInitThread, &speaker, &mic, playMixer, recordMixer).join();
  ASSERT_TRUE(ProcessEventsUntil([&] { return speaker.isEnabled() && mic.isEnabled(); }));
}

}  // namespace

TEST(VolumeSliders, InitReadsTheMixersOfTheChosenDevices) {
  REQUIRE_TEST_SERVER();
  ScopedPulseModule sink("module-null-sink sink_name=slider_sink channels=2");
  ScopedPulseModule source("module-null-source source_name=slider_source channels=1");
  ASSERT_TRUE(sink.Loaded() && source.Loaded());
  const unsigned playMixer = unsigned(DeviceIndex(GetPlayDeviceNames(), "slider_sink"));
  const unsigned recordMixer = unsigned(DeviceIndex(GetRecordDeviceNames(), "slider_source"));
  ASSERT_TRUE(SetVolume(kSpk, kWaveOut, 30000, playMixer));
  ASSERT_TRUE(SetVolume(kWaveIn, kMic, 20000, recordMixer));

  QSlider speaker(Qt::Vertical), mic(Qt::Vertical);
  speaker.setEnabled(false);
  mic.setEnabled(false);
  RunVolumeInit(speaker, mic, playMixer, recordMixer);
  EXPECT_EQ(speaker.value(), 30000);
  EXPECT_EQ(mic.value(), 20000);

  // Moving a slider sets its line's volume, for real.
  CVolumeWriter writer;
  ConnectVolumeSlider(&speaker, writer, kSpk, kWaveOut, [=] { return playMixer; });
  speaker.triggerAction(QAbstractSlider::SliderToMinimum);
  ASSERT_TRUE(writer.WaitIdle(std::chrono::seconds(10)));
  EXPECT_EQ(GetVolume(kSpk, kWaveOut, playMixer), 0);
}

TEST(VolumeSliders, UserChangesAndReleasesSetTheLineOfTheCurrentMixer) {
  CVolumeWriter writer;
  VolumeCalls rec(writer);
  QSlider slider(Qt::Vertical);
  ApplyVolumeToSlider(&slider, 100);
  unsigned mixer = 2;
  ConnectVolumeSlider(&slider, writer, kWaveIn, kMic, [&] { return mixer; });
  ApplyVolumeToSlider(&slider, 500);  // the program's own set-up sets nothing,
  slider.setValue(0);                 // nor does any other value the program gives it
  slider.setValue(500);
  EXPECT_TRUE(rec.Calls().empty());

  slider.triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(rec.Calls(), (std::vector<Call>{{kWaveIn, kMic, unsigned(500 + slider.pageStep()), 2}}));
  mixer = 0;
  emit slider.sliderReleased();  // a release sets the volume again, at the same position
  EXPECT_EQ(rec.Calls().back(), (Call{kWaveIn, kMic, unsigned(slider.value()), 0}));
  EXPECT_EQ(rec.Calls().size(), 2u);
}

// While a setting waits on a slow server the user drags on: of a line's waiting values only the
// newest is applied.
TEST(VolumeSliders, WriterAppliesOnlyTheNewestValueOfALine) {
  CVolumeWriter writer;
  std::mutex mutex;
  std::condition_variable cv;
  bool release = false;
  std::vector<Call> calls;
  writer.SetSetter([&](unsigned d, unsigned s, unsigned v, unsigned m) {
    std::unique_lock lock(mutex);
    calls.push_back({d, s, v, m});
    cv.notify_all();
    cv.wait(lock, [&] { return release; });
    return true;
  });
  writer.Set(kSpk, kWaveOut, 1, 0);
  {
    std::unique_lock lock(mutex);
    cv.wait(lock, [&] { return !calls.empty(); });
  }
  writer.Set(kSpk, kWaveOut, 2, 0);
  writer.Set(kWaveIn, kMic, 7, 0);
  writer.Set(kSpk, kWaveOut, 3, 0);
  {
    std::lock_guard lock(mutex);
    release = true;
  }
  cv.notify_all();
  ASSERT_TRUE(writer.WaitIdle(std::chrono::seconds(10)));
  std::lock_guard lock(mutex);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0], (Call{kSpk, kWaveOut, 1, 0}));
  EXPECT_TRUE(std::find(calls.begin(), calls.end(), Call{kSpk, kWaveOut, 3, 0}) != calls.end());
  EXPECT_TRUE(std::find(calls.begin(), calls.end(), Call{kWaveIn, kMic, 7, 0}) != calls.end());
}
