#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <tuple>

class QAbstractSlider;

// The two volume sliders of the window and the mixer lines behind them.

// The volumes the sliders start from: GetVolume of the speaker line of the play device's mixer and
// of the microphone line of the record device's mixer (-1 each when unknown). Waits on the sound
// server (bounded): call it off the user-interface thread.
struct VolumeLevels {
  int speaker = -1;
  int microphone = -1;
};
VolumeLevels ReadVolumeLevels(unsigned playMixer, unsigned recordMixer);

// On the user-interface thread: range 0..65535, position the low 16 bits of volume (so a volume of
// -1, unknown, puts the slider at 65535), enabled. Sets no volume: the change is not reported as the
// user's.
void ApplyVolumeToSlider(QAbstractSlider* slider, int volume);

// Body of the volume set-up thread: reads the levels on the calling (worker) thread and hands them
// to the sliders on the user-interface thread. The sliders must outlive the thread (the window joins
// its workers before its controls go); a slider destroyed before the hand-over is left alone.
void VolumeInitThread(QAbstractSlider* speaker, QAbstractSlider* microphone, unsigned playMixer, unsigned recordMixer);

// Sets mixer volumes on a thread of its own, so that moving a slider never waits on the sound
// server. Settings of one line that come faster than they can be applied are merged: the newest
// value wins. The destructor applies what is still pending (each setting is bounded) and ends the
// thread.
class CVolumeWriter {
 public:
  CVolumeWriter();
  ~CVolumeWriter();

  CVolumeWriter(const CVolumeWriter&) = delete;
  CVolumeWriter& operator=(const CVolumeWriter&) = delete;

  // Returns at once.
  void Set(unsigned dst, unsigned src, unsigned value, unsigned mixer);

  // Waits until every setting asked for has been applied; false when the time ran out first.
  bool WaitIdle(std::chrono::milliseconds timeout);

  // The mixer call, replaceable for tests.
  using Setter = std::function<bool(unsigned dst, unsigned src, unsigned value, unsigned mixer)>;
  void SetSetter(Setter setter);

 private:
  void Run();

  using Line = std::tuple<unsigned, unsigned, unsigned>;  // dst, src, mixer
  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::condition_variable m_idle;
  std::map<Line, unsigned> m_pending;
  bool m_busy = false;
  bool m_quit = false;
  Setter m_setter;
  std::thread m_thread;
};

// Every change of the slider's value made by the user (dragging, keys, wheel) and every release of
// its handle sets the line's volume to the slider's position through writer, for the mixer number
// that mixer() gives at that moment. The writer must outlive the slider's connections.
void ConnectVolumeSlider(QAbstractSlider* slider, CVolumeWriter& writer, unsigned dst, unsigned src,
                         std::function<unsigned()> mixer);
