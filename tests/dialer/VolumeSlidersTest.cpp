#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <thread>

#include <QSlider>

#include "platform/Mixer.h"
#include "platform/SoundDevices.h"
#include "dialer/VolumeSliders.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/SoundTestSupport.h"

namespace {

constexpr unsigned kSpk = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
constexpr unsigned kWaveOut = MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT;
constexpr unsigned kWaveIn = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
constexpr unsigned kMic = MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE;

struct Call {
  unsigned dst, src, value, mixer;
  bool operator==(const Call&) const = default;
};

// A writer whose mixer calls are recorded instead of made.
struct RecordingWriter {
  CVolumeWriter writer;
  std::mutex mutex;
  std::vector<Call> calls;
  RecordingWriter() {
    writer.SetSetter([this](unsigned d, unsigned s, unsigned v, unsigned m) {
      std::lock_guard lock(mutex);
      calls.push_back({d, s, v, m});
      return true;
    });
  }
  std::vector<Call> Calls() {
    EXPECT_TRUE(writer.WaitIdle(std::chrono::seconds(10)));
    std::lock_guard lock(mutex);
    return calls;
  }
};

void RunVolumeInit(QSlider& speaker, QSlider& mic, unsigned playMixer, unsigned recordMixer) {
  std::thread worker(VolumeInitThread, &speaker, &mic, playMixer, recordMixer);
  worker.join();
  ASSERT_TRUE(ProcessEventsUntil([&] { return speaker.isEnabled() && mic.isEnabled(); }));
}

}  // namespace

TEST(VolumeSliders, ApplyingAVolumeSetsRangePositionAndEnablesQuietly) {
  QSlider slider(Qt::Vertical);
  slider.setEnabled(false);
  int changed = 0;
  QObject::connect(&slider, &QAbstractSlider::valueChanged, [&] { ++changed; });
  ApplyVolumeToSlider(&slider, 40000);
  EXPECT_EQ(slider.minimum(), 0);
  EXPECT_EQ(slider.maximum(), 65535);
  EXPECT_EQ(slider.value(), 40000);
  EXPECT_TRUE(slider.isEnabled());
  ApplyVolumeToSlider(&slider, -1);  // unknown: the low 16 bits of -1
  EXPECT_EQ(slider.value(), 65535);
  EXPECT_EQ(changed, 0);
}

TEST(VolumeSliders, InitReadsTheMixersOfTheChosenDevices) {
  REQUIRE_TEST_SERVER();
  ScopedPulseModule sink("module-null-sink sink_name=slider_sink channels=2");
  ScopedPulseModule source("module-null-source source_name=slider_source channels=1");
  ASSERT_TRUE(sink.Loaded() && source.Loaded());
  const auto play = GetPlayDeviceNames(), record = GetRecordDeviceNames();
  const unsigned playMixer = unsigned(std::find(play.begin(), play.end(), "slider_sink") - play.begin());
  const unsigned recordMixer = unsigned(std::find(record.begin(), record.end(), "slider_source") - record.begin());
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
  RecordingWriter rec;
  QSlider slider(Qt::Vertical);
  ApplyVolumeToSlider(&slider, 100);
  unsigned mixer = 2;
  ConnectVolumeSlider(&slider, rec.writer, kWaveIn, kMic, [&] { return mixer; });
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

TEST(VolumeSliders, WriterAppliesOnlyTheNewestValueOfALine) {
  CVolumeWriter writer;
  std::mutex mutex;
  std::condition_variable cv;
  bool release = false, entered = false;
  std::vector<Call> calls;
  writer.SetSetter([&](unsigned d, unsigned s, unsigned v, unsigned m) {
    std::unique_lock lock(mutex);
    calls.push_back({d, s, v, m});
    entered = true;
    cv.notify_all();
    cv.wait(lock, [&] { return release; });  // a slow server
    return true;
  });
  writer.Set(kSpk, kWaveOut, 1, 0);
  {
    std::unique_lock lock(mutex);
    cv.wait(lock, [&] { return entered; });
  }
  // While the first setting waits on the server, the user drags on.
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
