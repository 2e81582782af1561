#include "tests/support/SoundTestSupport.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

bool HaveTestServer() {
  const char* server = std::getenv("PULSE_SERVER");
  return server && *server && !PSoundChannel::GetDeviceNames(PSoundChannel::Player).empty();
}

bool TestServerRequired() {
  const char* required = std::getenv("VANTRO_SOUND_REQUIRED");
  return required && std::string(required) == "1";
}

std::optional<std::string> Pactl(const std::string& args) {
  const std::string cmd = "pactl " + args + " 2>/dev/null";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return std::nullopt;
  std::string out;
  std::array<char, 4096> buf;
  for (size_t n; (n = fread(buf.data(), 1, buf.size(), p)) > 0;) out.append(buf.data(), n);
  return pclose(p) == 0 ? std::optional(out) : std::nullopt;
}

std::vector<std::string> PactlNames(const std::string& what) {
  std::vector<std::string> names;
  std::istringstream lines(Pactl("list short " + what).value_or(""));
  for (std::string line, index, name; std::getline(lines, line);)
    if (std::istringstream(line) >> index >> name) names.push_back(name);
  return names;
}

ScopedPulseModule::ScopedPulseModule(const std::string& moduleAndArgs) {
  m_index = Pactl("load-module " + moduleAndArgs).value_or("");
  while (!m_index.empty() && (m_index.back() == '\n' || m_index.back() == ' ')) m_index.pop_back();
}

void ScopedPulseModule::Unload() {
  if (!m_index.empty()) Pactl("unload-module " + m_index);
  m_index.clear();
}

BackgroundRecorder::BackgroundRecorder(const std::string& source) {
  if (!m_channel.Open(source, PSoundChannel::Recorder)) return;
  std::vector<int16_t> first(160);
  if (!m_channel.Read(first.data(), first.size() * 2)) return;
  m_running = true;
  m_thread = std::thread([this] {
    std::vector<int16_t> block(160);
    while (!m_stop.load() && m_channel.Read(block.data(), block.size() * 2))
      m_samples.insert(m_samples.end(), block.begin(), block.end());
  });
}

std::vector<int16_t> BackgroundRecorder::Stop(std::chrono::milliseconds settle) {
  if (m_thread.joinable()) std::this_thread::sleep_for(settle);
  m_stop = true;
  if (m_thread.joinable()) m_thread.join();
  m_channel.Close();
  return m_samples;
}

double ToneAmplitude(const std::vector<int16_t>& samples, double frequency, double rate) {
  if (samples.empty()) return 0;
  const double w = 2 * M_PI * frequency / rate;
  const double coeff = 2 * std::cos(w);
  double s1 = 0, s2 = 0;
  for (int16_t x : samples) {
    const double s0 = x / 32768.0 + coeff * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
  return 2 * std::sqrt(std::max(0.0, power)) / double(samples.size());
}

std::vector<int16_t> SampleWindow(const std::vector<int16_t>& samples, size_t at, size_t length) {
  at = std::min(at, samples.size());
  return std::vector<int16_t>(samples.begin() + long(at),
                              samples.begin() + long(std::min(samples.size(), at + length)));
}

TonePeak FindTonePeak(const std::vector<int16_t>& samples, double frequency, unsigned windowMs, double rate) {
  const size_t window = std::max<size_t>(8, size_t(rate * windowMs / 1000)), hop = window / 4;
  TonePeak best;
  for (size_t i = 0; i + window <= samples.size(); i += hop) {
    const double a = ToneAmplitude(SampleWindow(samples, i, window), frequency, rate);
    if (a > best.amplitude) best = {i, a};
  }
  return best;
}

std::vector<int16_t> LoudPart(const std::vector<int16_t>& samples, int threshold) {
  auto loud = [&](int16_t s) { return std::abs(int(s)) > threshold; };
  const auto first = std::find_if(samples.begin(), samples.end(), loud);
  const auto last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
  return first < last ? std::vector<int16_t>(first, last) : std::vector<int16_t>();
}

int DeviceIndex(const std::vector<std::string>& names, const std::string& name) {
  const auto at = std::find(names.begin(), names.end(), name);
  return at == names.end() ? -1 : int(at - names.begin());
}

std::filesystem::path SourceResFolder() {
  const char* src = std::getenv("VANTRO_SOURCE_DIR");
  return std::filesystem::path(src ? src : ".") / "res";
}
