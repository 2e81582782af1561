// Run against the test daemon:
//   S=$(bash scripts/pulse-test-daemon.sh start /tmp/p) && PULSE_SERVER=$S build/bench/sound/bench_sound
//   bash scripts/pulse-test-daemon.sh stop /tmp/p
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "runtime/PSound.h"
#include "runtime/PSoundChannel.h"

namespace {

using Clock = std::chrono::steady_clock;

bool HaveServer(benchmark::State& state) {
  const char* server = std::getenv("PULSE_SERVER");
  if (server && *server && !PSoundChannel::GetDeviceNames(PSoundChannel::Player).empty()) return true;
  state.SkipWithError("no sound server (set PULSE_SERVER to the test daemon)");
  return false;
}

// Time from handing a click to a player on the "speaker" sink until a recorder on its monitor
// returns the block that holds it, with both channels using buffers of range(0) bytes, range(1) of
// them. The player keeps playing silence between clicks, as a call's audio does.
void BM_WriteToRecordLatency(benchmark::State& state) {
  if (!HaveServer(state)) return;
  const size_t size = size_t(state.range(0));
  const unsigned count = unsigned(state.range(1));
  PSoundChannel rec, play;
  rec.SetBuffers(size, count);
  play.SetBuffers(size, count);
  if (!rec.Open("speaker.monitor", PSoundChannel::Recorder) || !play.Open("speaker", PSoundChannel::Player)) {
    state.SkipWithError("cannot open the test devices");
    return;
  }
  const size_t block = size / 2;  // samples per buffer
  std::vector<int16_t> in(block);
  // The sink starts slowly after idling; wait until data flows both ways.
  std::atomic<bool> stop{false}, click{false};
  std::atomic<int64_t> clickAt{0};
  std::thread writer([&] {
    std::vector<int16_t> silence(block, 0), loud(block, 20000);
    while (!stop.load()) {
      if (click.exchange(false)) {
        clickAt.store(Clock::now().time_since_epoch().count());
        play.Write(loud.data(), loud.size() * 2);
      } else {
        play.Write(silence.data(), silence.size() * 2);
      }
    }
  });
  for (int i = 0; i < 100; ++i) rec.Read(in.data(), in.size() * 2);

  double total = 0;
  int measured = 0;
  for (auto _ : state) {
    click.store(true);
    bool seen = false;
    const Clock::time_point giveUp = Clock::now() + std::chrono::seconds(3);
    while (!seen && Clock::now() < giveUp && rec.Read(in.data(), in.size() * 2))
      for (int16_t s : in) seen = seen || s > 5000;
    const auto now = Clock::now().time_since_epoch().count();
    if (!seen) {
      state.SkipWithError("the click was not heard");
      break;
    }
    const double seconds = double(now - clickAt.load()) * Clock::period::num / Clock::period::den;
    state.SetIterationTime(seconds);
    total += seconds;
    ++measured;
    // Let the click pass before the next one.
    for (int i = 0; i < 5; ++i) rec.Read(in.data(), in.size() * 2);
  }
  stop = true;
  writer.join();
  state.counters["buffer_ms"] = double(size) / 16.0;
  state.counters["server_play_bytes"] = double(play.GetServerBufferBytes());
  state.counters["server_record_bytes"] = double(rec.GetServerBufferBytes());
  if (measured) state.counters["mean_latency_ms"] = 1000.0 * total / measured;
}
BENCHMARK(BM_WriteToRecordLatency)
    ->ArgNames({"bytes", "count"})
    ->Args({160, 2})
    ->Args({320, 2})
    ->Args({480, 2})
    ->Args({320, 4})
    ->Iterations(30)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Opening and closing a player, as every key tone does.
void BM_OpenClosePlayer(benchmark::State& state) {
  if (!HaveServer(state)) return;
  for (auto _ : state) {
    PSoundChannel ch("speaker", PSoundChannel::Player);
    if (!ch.IsOpen()) {
      state.SkipWithError("cannot open the speaker");
      break;
    }
  }
}
BENCHMARK(BM_OpenClosePlayer)->Unit(benchmark::kMillisecond);

void BM_PlayDeviceList(benchmark::State& state) {
  if (!HaveServer(state)) return;
  for (auto _ : state) benchmark::DoNotOptimize(PSoundChannel::GetDeviceNames(PSoundChannel::Player));
}
BENCHMARK(BM_PlayDeviceList)->Unit(benchmark::kMillisecond);

// One second of CD-rate stereo brought to the channel format.
void BM_ConvertCdSecondToChannelFormat(benchmark::State& state) {
  const PSound cd = PSound::Tones({1000}, 0.5, 1000, 44100).ConvertTo(2, 44100);
  for (auto _ : state) benchmark::DoNotOptimize(cd.ConvertTo(1, 8000));
}
BENCHMARK(BM_ConvertCdSecondToChannelFormat)->Unit(benchmark::kMillisecond);

}  // namespace
