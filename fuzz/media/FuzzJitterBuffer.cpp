// The jitter buffer fed any order, timing and numbering of packets (wild timestamps and sequence
// numbers, bursts, new sources) and read at any moments: every read gives a piece of sound of at
// most a frame (a frame as it was put), the delay stays within its bounds, and nothing hangs.
#include "stack/rtp/JitterBuffer.h"

#include <cstring>

namespace {

template <class T>
T Take(const std::uint8_t*& p, const std::uint8_t* end) {
  T v{};
  const std::size_t n = std::min<std::size_t>(sizeof v, static_cast<std::size_t>(end - p));
  std::memcpy(&v, p, n);
  p += n;
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantro::rtp;
  const std::uint8_t* p = data;
  const std::uint8_t* end = data + size;
  JitterBuffer::Settings settings;
  settings.frameSamples = (Take<std::uint8_t>(p, end) & 1) ? 240 : 80;
  settings.minimumMs = 20 + Take<std::uint8_t>(p, end) % 60;
  settings.maximumMs = settings.minimumMs + Take<std::uint8_t>(p, end) * 2;
  JitterBuffer buffer(settings);
  auto now = JitterBuffer::Clock::time_point(std::chrono::hours(1));
  std::uint16_t sequence = Take<std::uint16_t>(p, end);
  std::uint32_t timestamp = Take<std::uint32_t>(p, end);
  std::vector<std::uint8_t> bytes;
  int reads = 0;
  while (p < end && reads < 20000) {
    const std::uint8_t op = Take<std::uint8_t>(p, end);
    if (op & 1) {
      // A packet of 1 to 4 frames: the sequence and timestamp step on, or jump wildly.
      const std::uint8_t how = Take<std::uint8_t>(p, end);
      sequence = (how & 2) ? Take<std::uint16_t>(p, end) : static_cast<std::uint16_t>(sequence + 1 - (how & 4 ? 3 : 0));
      timestamp = (how & 8) ? Take<std::uint32_t>(p, end) : timestamp + settings.frameSamples * ((how >> 4) & 3);
      const unsigned count = 1 + ((op >> 1) & 3);
      const std::uint8_t payload[4] = {op, how, 0, 1};
      std::vector<JitterBuffer::Frame> frames;
      for (unsigned i = 0; i < count; ++i)
        frames.push_back({i * settings.frameSamples, (how & 0x40) ? settings.frameSamples / 2 : settings.frameSamples,
                          std::span(payload, 1 + i % 4)});
      buffer.Put(sequence, timestamp, frames, now, (how & 0x80) && (op & 0x80));
    } else {
      // Reads, as a device takes them, over a stretch of time (or all at once: a burst).
      const unsigned n = 1 + ((op >> 1) & 15);
      for (unsigned i = 0; i < n; ++i, ++reads) {
        const JitterBuffer::Output out = buffer.Read(now, op & 0x20, bytes);
        if (out.samples == 0 || out.samples > settings.frameSamples) __builtin_trap();
        if (out.kind == JitterBuffer::Output::Play && (bytes.empty() || bytes.size() > 4)) __builtin_trap();
        if (!(op & 0x40)) now += std::chrono::microseconds(out.samples * 125);
      }
    }
    if (op & 0x80) now += std::chrono::milliseconds(Take<std::uint16_t>(p, end) % 3000);
    const JitterBufferStatistics s = buffer.GetStatistics();
    if (s.targetDelayMs < settings.minimumMs || s.targetDelayMs > settings.maximumMs) __builtin_trap();
    if (s.bufferedFrames > 2048) __builtin_trap();
  }
  return 0;
}
