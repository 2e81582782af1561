#include "dialer/VolumeSliders.h"

#include <QAbstractSlider>
#include <QPointer>
#include <QSignalBlocker>

#include "platform/Mixer.h"
#include "platform/UiThread.h"

VolumeLevels ReadVolumeLevels(unsigned playMixer, unsigned recordMixer) {
  VolumeLevels levels;
  levels.speaker = GetVolume(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, playMixer);
  levels.microphone =
      GetVolume(MIXERLINE_COMPONENTTYPE_DST_WAVEIN, MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, recordMixer);
  return levels;
}

void ApplyVolumeToSlider(QAbstractSlider* slider, int volume) {
  if (!slider) return;
  const QSignalBlocker quiet(slider);
  slider->setRange(0, 0xFFFF);
  slider->setValue(int(unsigned(volume) & 0xFFFFu));
  slider->setEnabled(true);
  slider->update();
}

void VolumeInitThread(QAbstractSlider* speaker, QAbstractSlider* microphone, unsigned playMixer, unsigned recordMixer) {
  const VolumeLevels levels = ReadVolumeLevels(playMixer, recordMixer);
  QPointer<QAbstractSlider> s(speaker), m(microphone);
  if (speaker) PostToUi(speaker, [s, v = levels.speaker] { ApplyVolumeToSlider(s.data(), v); });
  if (microphone) PostToUi(microphone, [m, v = levels.microphone] { ApplyVolumeToSlider(m.data(), v); });
}

CVolumeWriter::CVolumeWriter() : m_setter(SetVolume) {
  m_thread = std::thread([this] { Run(); });
}

CVolumeWriter::~CVolumeWriter() {
  {
    std::lock_guard lock(m_mutex);
    m_quit = true;
  }
  m_wake.notify_all();
  m_thread.join();
}

void CVolumeWriter::Set(unsigned dst, unsigned src, unsigned value, unsigned mixer) {
  {
    std::lock_guard lock(m_mutex);
    m_pending[Line(dst, src, mixer)] = value;
  }
  m_wake.notify_all();
}

bool CVolumeWriter::WaitIdle(std::chrono::milliseconds timeout) {
  std::unique_lock lock(m_mutex);
  return m_idle.wait_for(lock, timeout, [this] { return m_pending.empty() && !m_busy; });
}

void CVolumeWriter::SetSetter(Setter setter) {
  std::lock_guard lock(m_mutex);
  m_setter = std::move(setter);
}

void CVolumeWriter::Run() {
  std::unique_lock lock(m_mutex);
  for (;;) {
    m_wake.wait(lock, [this] { return m_quit || !m_pending.empty(); });
    if (m_pending.empty()) break;  // quit, with nothing left to apply
    const auto it = m_pending.begin();
    const auto [dst, src, mixer] = it->first;
    const unsigned value = it->second;
    m_pending.erase(it);
    m_busy = true;
    Setter setter = m_setter;
    lock.unlock();
    setter(dst, src, value, mixer);
    lock.lock();
    m_busy = false;
    if (m_pending.empty()) m_idle.notify_all();
  }
  m_idle.notify_all();
}

void ConnectVolumeSlider(QAbstractSlider* slider, CVolumeWriter& writer, unsigned dst, unsigned src,
                         std::function<unsigned()> mixer) {
  if (!slider) return;
  // Only the user's actions: a value the program sets (a skin's set-up, a range change) must never
  // reach the machine's mixer. An action is reported before the value follows the slider's
  // position, so the position is what the user chose.
  auto apply = [slider, &writer, dst, src, mixer] {
    writer.Set(dst, src, unsigned(slider->sliderPosition()) & 0xFFFFu, mixer());
  };
  QObject::connect(slider, &QAbstractSlider::actionTriggered, slider, [apply](int action) {
    if (action != QAbstractSlider::SliderNoAction) apply();
  });
  QObject::connect(slider, &QAbstractSlider::sliderReleased, slider, apply);
}
