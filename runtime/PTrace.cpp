#include "runtime/PTrace.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

namespace PTrace {
namespace {

unsigned InitialLevel() {
  const char* text = std::getenv("VANTRO_TRACE");
  if (!text || !*text) return 2;
  char* end = nullptr;
  const unsigned long level = std::strtoul(text, &end, 10);
  return end && *end == '\0' && level <= 9 ? static_cast<unsigned>(level) : 2;
}

std::atomic<unsigned>& Level() {
  static std::atomic<unsigned> level{InitialLevel()};
  return level;
}

std::mutex& SinkMutex() {
  static std::mutex mutex;
  return mutex;
}

Sink& CurrentSink() {
  static Sink sink;
  return sink;
}

void WriteToStandardError(unsigned level, std::string_view component, std::string_view text) {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%H:%M:%S", &local);
  std::fprintf(stderr, "%s.%03lld %u %.*s: %.*s\n", stamp, static_cast<long long>(ms), level,
               static_cast<int>(component.size()), component.data(), static_cast<int>(text.size()), text.data());
}

}  // namespace

void SetLevel(unsigned level) { Level() = level; }

unsigned GetLevel() { return Level(); }

void SetSink(Sink sink) {
  std::lock_guard lock(SinkMutex());
  CurrentSink() = std::move(sink);
}

void Write(unsigned level, std::string_view component, std::string_view text) {
  std::lock_guard lock(SinkMutex());
  if (CurrentSink())
    CurrentSink()(level, component, text);
  else
    WriteToStandardError(level, component, text);
}

}  // namespace PTrace
