#pragma once
// Helpers for the tests that need a sound server (the private daemon scripts/test.sh starts: sinks
// "speaker" and "mic_feed", source "mic" recording mic_feed) or its absence, and judges of tones.

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

// Tests that need a server skip without one, unless VANTRO_SOUND_REQUIRED=1 says that the test
// command started one: they then fail, so that a daemon that does not answer cannot pass unnoticed.
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

// pactl's standard output, or nothing when it failed.
std::optional<std::string> Pactl(const std::string& args);
// Names from `pactl list short sinks|sources`, in its order.
std::vector<std::string> PactlNames(const std::string& what);
// Where name stands in a list of device names; -1 when it is not there.
int DeviceIndex(const std::vector<std::string>& names, const std::string& name);

// A module loaded with pactl for the life of the object.
class ScopedPulseModule {
 public:
  explicit ScopedPulseModule(const std::string& moduleAndArgs);
  ~ScopedPulseModule() { Unload(); }
  bool Loaded() const { return !m_index.empty(); }
  void Unload();

 private:
  std::string m_index;
};

// PULSE_SERVER pointed at a socket path where nothing listens.
class NoServer {
 public:
  NoServer() : m_env("PULSE_SERVER", "unix:" + (m_dir / "nobody-here").string()) {}

 private:
  TempDir m_dir;
  ScopedEnv m_env;
};

// Records a source on a thread of its own. The constructor returns once data flows (an idle device
// takes up to a couple of seconds to start); Stop records on for settle, so that the end of what
// was played gets through, and returns what was recorded, mono.
class BackgroundRecorder {
 public:
  explicit BackgroundRecorder(const std::string& source);
  ~BackgroundRecorder() { Stop(std::chrono::milliseconds(0)); }
  bool Running() const { return m_running; }
  std::vector<int16_t> Stop(std::chrono::milliseconds settle = std::chrono::milliseconds(300));

 private:
  PSoundChannel m_channel;
  bool m_running = false;
  std::atomic<bool> m_stop{false};
  std::vector<int16_t> m_samples;
  std::thread m_thread;
};

// Amplitude (fraction of full scale) of the component at frequency, by the Goertzel algorithm.
double ToneAmplitude(const std::vector<int16_t>& samples, double frequency, double rate = 8000);

// Where a tone is loudest (the first sample of that window of windowMs) and its amplitude there: for
// recordings where sounds and pauses of unknown length follow one another.
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
