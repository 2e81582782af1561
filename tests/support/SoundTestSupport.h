#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "runtime/PSoundChannel.h"
#include "tests/support/TempDir.h"

// Helpers for the tests that need a sound server: the private daemon that scripts/test.sh starts
// (sinks "speaker" and "mic_feed", source "mic" recording mic_feed), and stand-ins for no server
// and a server that does not answer.

// True when PULSE_SERVER names a server that answers. Tests that need one skip without it, unless
// VANTRO_SOUND_REQUIRED=1 says that the test command started one: they then fail, so that a
// daemon that started and does not answer cannot pass unnoticed.
bool HaveTestServer();
bool TestServerRequired();
#define REQUIRE_TEST_SERVER()                                                                 \
  do {                                                                                        \
    if (!HaveTestServer()) {                                                                  \
      if (TestServerRequired())                                                               \
        GTEST_FAIL() << "the PulseAudio test daemon at PULSE_SERVER does not answer, "        \
                        "though VANTRO_SOUND_REQUIRED=1 says it was started";                 \
      GTEST_SKIP() << "no PulseAudio test daemon (PULSE_SERVER); scripts/test.sh starts one"; \
    }                                                                                         \
  } while (0)

// Runs pactl against the current server; its standard output, or nothing when it failed.
std::optional<std::string> Pactl(const std::string& args);

// Names from `pactl list short sinks|sources`, in its order.
std::vector<std::string> PactlNames(const std::string& what);

// Where name stands in a list of device names; -1 when it is not there.
int DeviceIndex(const std::vector<std::string>& names, const std::string& name);

// A module loaded with pactl for the life of the object.
class ScopedPulseModule {
 public:
  explicit ScopedPulseModule(const std::string& moduleAndArgs);
  ~ScopedPulseModule();
  bool Loaded() const { return !m_index.empty(); }
  void Unload();

 private:
  std::string m_index;
};

// PULSE_SERVER pointed at a socket path in a temporary folder where nothing listens.
class NoServer {
 public:
  NoServer();

 private:
  TempDir m_dir;
  ScopedEnv m_env;
};

// Records a source on a thread of its own. The constructor returns once data flows (a device that
// has been idle takes up to a couple of seconds to start); Stop goes on recording for settle, so
// that the end of what was played gets through, and returns what was recorded, mono.
class BackgroundRecorder {
 public:
  explicit BackgroundRecorder(const std::string& source);
  ~BackgroundRecorder();
  bool Running() const { return m_running; }
  std::vector<int16_t> Stop(std::chrono::milliseconds settle = std::chrono::milliseconds(300));

 private:
  PSoundChannel m_channel;
  bool m_running = false;
  std::atomic<bool> m_stop{false};
  std::vector<int16_t> m_samples;
  std::thread m_thread;
};

// Amplitude (fraction of full scale) of the component at frequency in the samples, by the Goertzel
// algorithm.
double ToneAmplitude(const std::vector<int16_t>& samples, double frequency, double rate = 8000);

// Where in a recording a tone is loudest (first sample of the window of windowMs where it is), and
// its amplitude there: for recordings where sounds and pauses of unknown length follow one another.
struct TonePeak {
  size_t position = 0;
  double amplitude = 0;
};
TonePeak FindTonePeak(const std::vector<int16_t>& samples, double frequency, unsigned windowMs = 50,
                      double rate = 8000);

// length samples from at (fewer at the end).
std::vector<int16_t> SampleWindow(const std::vector<int16_t>& samples, size_t at, size_t length);

// The samples from the first to the last one louder than threshold (empty when none is).
std::vector<int16_t> LoudPart(const std::vector<int16_t>& samples, int threshold = 1000);

// The source tree's res/ folder (VANTRO_SOURCE_DIR is set by the test runner).
std::filesystem::path SourceResFolder();
