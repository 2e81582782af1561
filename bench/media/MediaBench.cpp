// The media path end to end on 127.0.0.1, with stand-ins for microphone and loudspeaker that keep
// real time and play at once (so what is measured is the stack alone):
//   BM_MouthToEar        the time from a sample being spoken to its being played, per codec, at
//                        the jitter floor (28 ms), with nothing between the two sessions; arg 1:
//                        through 5 % loss and 0-40 ms jitter;
//   BM_FullDuplexCpu     CPU time per second of one endpoint of a full-duplex call (its RTP
//                        session's thread, its transmit and receive channels: coding, decoding,
//                        RTP and RTCP both ways), per codec; arg 1: with 5 % loss and 0-40 ms
//                        jitter each way;
//   BM_Encode, BM_Decode one second of voice through each codec alone (for what the codec's share
//                        of the call's CPU time is);
//   BM_JitterAdaptation  one minute of a call whose network adds 0-80 ms of jitter from 10 s to
//                        30 s: the jitter buffer's delay every half second goes to standard error.
// Each runs once; the figures are the counters. Run:
//   build/bench/media/bench_media
#include <benchmark/benchmark.h>

#include "stack/codecs/H323AudioCodec.h"
#include "stack/endpoint/H323ReceiveChannel.h"
#include "tests/support/MediaLoop.h"

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;
using namespace vantro;
using endpoint::H323Capability;
using test::MediaLoop;
using test::SignalAudioSource;

std::shared_ptr<const H323Capability> Capability(int which) {
  switch (which) {
    case 0: return std::make_shared<endpoint::H323_G711Capability>();
    case 1: return std::make_shared<endpoint::H323_G729ACapability>();
    default: return std::make_shared<endpoint::H323_G7231Capability>(true);
  }
}

// Frame, look-ahead and packetisation of each codec as we send it, plus the jitter floor.
double ExpectedDelayMs(int which) {
  switch (which) {
    case 0: return 10 + 0 + 10 + 28;    // G.711: 10 ms frames, two to a packet
    case 1: return 10 + 5 + 10 + 28;    // G.729A: 10 ms frames, 5 ms look-ahead, two to a packet
    default: return 30 + 7.5 + 0 + 28;  // G.723.1: one 30 ms frame, 7.5 ms look-ahead
  }
}

const char* Name(int which) { return which == 0 ? "G.711" : which == 1 ? "G.729A" : "G.723.1"; }

// A voice of ten seconds, computed once and then read from a table (cheap to produce).
SignalAudioSource::Signal Voice() {
  static const std::vector<std::int16_t> table = [] {
    const auto speech = SignalAudioSource::Speech(0.5);
    std::vector<std::int16_t> t(80000);
    for (std::size_t i = 0; i < t.size(); ++i) t[i] = speech(i);
    return t;
  }();
  return [](std::uint64_t n) { return table[n % table.size()]; };
}

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The time on the CPU of this process's threads of the names given, from the kernel's scheduler
// statistics (nanoseconds).
double ThreadCpuSeconds(const std::set<std::string>& names) {
  double ns = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::string name;
    std::ifstream(task.path() / "comm") >> name;
    double onCpu = 0;
    if (names.count(name) && std::ifstream(task.path() / "schedstat") >> onCpu) ns += onCpu;
  }
  return ns / 1e9;
}

// The lag (in samples) at which what came out best matches what went in.
std::size_t Lag(const SignalAudioSource::Signal& signal, const std::vector<std::int16_t>& out, std::size_t from,
                std::size_t length) {
  std::size_t best = 0;
  double bestScore = -2;
  for (std::size_t lag = 0; lag < 4000 && from + lag + length <= out.size(); ++lag) {
    double xy = 0, xx = 0, yy = 0;
    for (std::size_t i = from; i < from + length; ++i) {
      const double x = signal(i), y = out[i + lag];
      xy += x * y;
      xx += x * x;
      yy += y * y;
    }
    const double score = xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0;
    if (score > bestScore) {
      bestScore = score;
      best = lag;
    }
  }
  return best;
}

// The voice is found in what was played by correlation (the second and third seconds); the delay
// of each sample there is the time from its being spoken to its being played. The median is
// reported: a machine busy with other work makes the odd sample late.
// With arg 1, the network loses 5 % and delays by 0-40 ms: the delay is then the jitter buffer's
// grown one.
// A call of the benchmark's codec (arg 0) carrying the voice, through 5 % loss and 0-40 ms jitter
// when arg 1 says so.
MediaLoop::Config CallOf(const benchmark::State& state) {
  MediaLoop::Config config;
  config.capability = Capability(static_cast<int>(state.range(0)));
  config.signal = Voice();
  config.relay = state.range(1) != 0;
  config.impairment.loss = 0.05;
  config.impairment.jitter = 40ms;
  return config;
}

void BM_MouthToEar(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  const bool impaired = state.range(1) != 0;
  for (auto _ : state) {
    MediaLoop::Config config = CallOf(state);
    MediaLoop loop(config);
    if (!loop.Start()) {
      state.SkipWithError(loop.Error().c_str());
      return;
    }
    std::this_thread::sleep_for(4s);
    loop.Close();
    const auto out = loop.Sink().Samples();
    const std::size_t lag = Lag(config.signal, out, 8000, 16000);
    std::vector<double> delays;
    for (std::size_t i = 8000; i < 24000 && i + lag < out.size(); i += 8)
      delays.push_back(
          std::chrono::duration<double, std::milli>(loop.Sink().TimeOf(i + lag) - loop.Source().TimeOf(i)).count());
    if (delays.empty()) {
      state.SkipWithError("nothing came through");
      return;
    }
    std::sort(delays.begin(), delays.end());
    const double median = delays[delays.size() / 2];
    state.SetIterationTime(median / 1000);
    state.counters["delay_median_ms"] = median;
    state.counters["delay_p5_ms"] = delays[delays.size() / 20];
    state.counters["delay_p95_ms"] = delays[delays.size() * 19 / 20];
    state.counters["expected_ms"] = ExpectedDelayMs(which);
    state.counters["lag_samples"] = static_cast<double>(lag);
    state.counters["jitter_buffer_ms"] = loop.Receiver().GetStatistics().jitterBufferMs;
    state.SetLabel(std::string(Name(which)) + (impaired ? ", 5% loss, 0-40 ms jitter" : ", at the floor"));
  }
}

// One endpoint of the call is the sending session with its transmit channel (1) and the receive
// channel of the way back (4): their threads' CPU time is what a call costs the endpoint. The
// whole process (both endpoints, and the relays that spoil the network) is given beside it.
void BM_FullDuplexCpu(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  const bool impaired = state.range(1) != 0;
  for (auto _ : state) {
    MediaLoop::Config config = CallOf(state);
    config.duplex = true;
    MediaLoop loop(config);
    if (!loop.Start()) {
      state.SkipWithError(loop.Error().c_str());
      return;
    }
    const std::set<std::string> endpoint{"audio-tx-1", "audio-rx-4",
                                         "rtp-" + std::to_string(loop.SendingSession().GetLocalDataAddress().port)};
    std::this_thread::sleep_for(1s);  // past the start
    const double process0 = CpuSeconds(), endpoint0 = ThreadCpuSeconds(endpoint);
    const auto wall0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(10s);
    const double process = CpuSeconds() - process0, cpu = ThreadCpuSeconds(endpoint) - endpoint0;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    const endpoint::ChannelStatistics back = loop.Back().receiver->GetStatistics();
    loop.Close();
    state.SetIterationTime(cpu);
    state.counters["endpoint_cpu_percent"] = 100 * cpu / wall;
    state.counters["process_cpu_percent"] = 100 * process / wall;
    state.counters["concealed"] = static_cast<double>(back.framesConcealed);
    state.counters["jitter_buffer_ms"] = back.jitterBufferMs;
    state.SetLabel(std::string(Name(which)) + (impaired ? ", 5% loss, 0-40 ms jitter" : ", clean"));
  }
}

std::vector<std::int16_t> OneSecondOfVoice() {
  const auto voice = Voice();
  std::vector<std::int16_t> pcm(8000);
  for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = voice(i);
  return pcm;
}

unsigned PayloadType(int which) { return which == 0 ? 0 : which == 1 ? 18 : 4; }

void BM_Encode(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  auto encoder = codecs::CreateAudioCodec(PayloadType(which), codecs::H323AudioCodec::Encoder);
  const std::vector<std::int16_t> pcm = OneSecondOfVoice();
  const unsigned frame = encoder->GetFrameSamples();
  std::vector<std::uint8_t> bits;
  for (auto _ : state) {
    for (std::size_t at = 0; at + frame <= pcm.size(); at += frame) {
      bits.clear();
      encoder->Encode(std::span(pcm).subspan(at, frame), bits);
    }
    benchmark::DoNotOptimize(bits.data());
  }
  state.SetLabel(std::string(Name(which)) + ", one second of audio per iteration");
}

void BM_Decode(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  auto encoder = codecs::CreateAudioCodec(PayloadType(which), codecs::H323AudioCodec::Encoder);
  auto decoder = codecs::CreateAudioCodec(PayloadType(which), codecs::H323AudioCodec::Decoder);
  const std::vector<std::int16_t> pcm = OneSecondOfVoice();
  const unsigned frame = encoder->GetFrameSamples();
  std::vector<std::vector<std::uint8_t>> frames;
  for (std::size_t at = 0; at + frame <= pcm.size(); at += frame) {
    frames.emplace_back();
    encoder->Encode(std::span(pcm).subspan(at, frame), frames.back());
  }
  std::vector<std::int16_t> out(frame);
  for (auto _ : state) {
    for (const auto& bits : frames) decoder->Decode(bits, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetLabel(std::string(Name(which)) + ", one second of audio per iteration");
}

// Talk spurts of 1.6 s with 0.8 s pauses, so that the buffer can shrink in the pauses.
SignalAudioSource::Signal Spurts() {
  const auto voice = Voice();
  return [voice](std::uint64_t n) { return n % 19200 < 12800 ? voice(n) : std::int16_t(0); };
}

void BM_JitterAdaptation(benchmark::State& state) {
  for (auto _ : state) {
    MediaLoop::Config config;
    config.capability = Capability(1);
    config.signal = Spurts();
    MediaLoop loop(config);
    if (!loop.Start()) {
      state.SkipWithError(loop.Error().c_str());
      return;
    }
    auto& receiver = dynamic_cast<endpoint::H323ReceiveChannel&>(loop.Receiver());
    std::fprintf(stderr, "time_s injected_jitter_ms target_ms delay_ms late concealed inserted discarded\n");
    unsigned peak = 0, atEnd = 0;
    for (int tick = 0; tick <= 120; ++tick) {
      const double t = tick * 0.5;
      test::Impairment impairment;
      if (t >= 10 && t < 30) impairment.jitter = 80ms;
      loop.Relay()->SetImpairment(impairment);
      const rtp::JitterBufferStatistics s = receiver.GetJitterBufferStatistics();
      std::fprintf(stderr, "%5.1f %3d %4u %4u %4llu %5llu %5llu %4llu\n", t, impairment.jitter.count() ? 80 : 0,
                   s.targetDelayMs, s.currentDelayMs, static_cast<unsigned long long>(s.packetsLate),
                   static_cast<unsigned long long>(s.framesConcealed),
                   static_cast<unsigned long long>(s.framesInserted),
                   static_cast<unsigned long long>(s.framesDiscarded));
      peak = std::max(peak, s.currentDelayMs);
      atEnd = s.currentDelayMs;
      std::this_thread::sleep_for(500ms);
    }
    loop.Close();
    state.SetIterationTime(60);
    state.counters["peak_delay_ms"] = peak;
    state.counters["final_delay_ms"] = atEnd;
  }
}

BENCHMARK(BM_MouthToEar)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullDuplexCpu)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JitterAdaptation)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
