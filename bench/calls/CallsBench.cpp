// Calls between two endpoints of ours through the test gatekeeper on 127.0.0.1:
//   SetUp:    MakeCall to OnConnectionEstablished at the caller (median over the iterations), and
//             to the caller's first media channel running; direct or gatekeeper-routed, with fast
//             start or without (then H.245 opens the channels after Connect).
//   Clear:    ClearCall to OnConnectionCleared at the caller.
//   Memory:   resident memory per established call (many calls at once, each with its channels).
// Admission on both sides, RAS and Q.931 on loopback; silence as audio. Times are in the counters
// (ms); the iteration time is the set-up's.

#include "stack/endpoint/DiscardAudioSink.h"
#include "stack/endpoint/H323EndPoint.h"
#include "stack/endpoint/SilentAudioSource.h"
#include "tests/support/ProcessCounters.h"
#include "tests/support/TestGatekeeper.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>

namespace {

using namespace vantro;
using namespace std::chrono_literals;
using endpoint::H323Connection;
using Clock = std::chrono::steady_clock;

class BenchPhone : public endpoint::H323EndPoint {
 public:
  BenchPhone(const std::string& alias, std::uint16_t rtpBase) {
    SetLocalUserName(alias);
    SetRtpPortRange(rtpBase, static_cast<std::uint16_t>(rtpBase + 1999));
    SetCapability(0, endpoint::kNewCapabilitySet, std::make_unique<endpoint::H323_G711Capability>());
    endpoint::AudioDevices devices;
    devices.openSource = [](const std::string&) { return std::make_unique<endpoint::SilentAudioSource>(); };
    devices.openSink = [](const std::string&) { return std::make_unique<endpoint::DiscardAudioSink>(); };
    SetAudioDevices(devices);
    SetMaxCalls(100);
  }
  ~BenchPhone() override { Shutdown(); }

  // When each call of a token got each step.
  Clock::time_point WaitStep(const std::string& token, CallEvent event) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, 10s, [&] { return steps_.count({token, event}) != 0; });
    auto it = steps_.find({token, event});
    return it == steps_.end() ? Clock::time_point{} : it->second;
  }
  void Forget() {
    std::lock_guard lock(mutex_);
    steps_.clear();
  }
  bool WaitCount(CallEvent event, std::size_t n) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 20s, [&] {
      return static_cast<std::size_t>(std::count_if(steps_.begin(), steps_.end(),
                                                    [&](const auto& s) { return s.first.second == event; })) >= n;
    });
  }

  void OnCallEvent(H323Connection& connection, CallEvent event, const std::string&) override {
    Mark(connection.GetCallToken(), event);
  }
  void OnConnectionEstablished(H323Connection& connection, const std::string& token) override {
    (void)connection;
    Mark(token, kEstablished);
  }
  void OnConnectionCleared(H323Connection&, const std::string& token) override { Mark(token, kCleared); }

  // Steps of the callbacks themselves, beside the call events.
  static constexpr CallEvent kEstablished = static_cast<CallEvent>(100);
  static constexpr CallEvent kCleared = static_cast<CallEvent>(101);

 private:
  void Mark(const std::string& token, CallEvent event) {
    const auto now = Clock::now();
    std::lock_guard lock(mutex_);
    steps_.emplace(std::make_pair(token, event), now);
    changed_.notify_all();
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::pair<std::string, CallEvent>, Clock::time_point> steps_;
};

struct Pair {
  Pair(bool routed, bool fastStart) : gk(Script(routed)), caller("5550100", 46000), callee("5550200", 48000) {
    caller.DisableFastStart(!fastStart);
    callee.DisableFastStart(!fastStart);
    for (BenchPhone* p : {&caller, &callee}) {
      endpoint::CallTimings t;
      t.statusEnquiryInterval = 0ms;
      p->SetCallTimings(t);
      ok = ok && p->StartListeners({"127.0.0.1:0"}) && p->UseGatekeeper(gk.Address());
    }
  }
  static test::TestGatekeeper::Script Script(bool routed) {
    test::TestGatekeeper::Script s;
    s.routed = routed;
    return s;
  }
  test::TestGatekeeper gk;
  BenchPhone caller, callee;
  bool ok = true;
};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void SetUp(benchmark::State& state) {
  const bool routed = state.range(0), fastStart = state.range(1);
  Pair pair(routed, fastStart);
  if (!pair.ok) {
    state.SkipWithError("registration failed");
    return;
  }
  std::vector<double> established, media, cleared;
  for (auto _ : state) {
    std::string token;
    const auto start = Clock::now();
    pair.caller.MakeCall("5550200@", token);
    const auto up = pair.caller.WaitStep(token, BenchPhone::kEstablished);
    state.SetIterationTime(std::chrono::duration<double>(up - start).count());
    const auto running = pair.caller.WaitStep(token, BenchPhone::CallEvent::MediaStarted);
    pair.callee.WaitCount(BenchPhone::kEstablished, 1);
    const auto clearing = Clock::now();
    pair.caller.ClearCall(token);
    const auto gone = pair.caller.WaitStep(token, BenchPhone::kCleared);
    pair.callee.WaitCount(BenchPhone::kCleared, 1);
    if (up == Clock::time_point{} || gone == Clock::time_point{}) {
      state.SkipWithError("a call did not come up or go");
      return;
    }
    established.push_back(Ms(up - start));
    media.push_back(Ms(running - start));
    cleared.push_back(Ms(gone - clearing));
    pair.caller.Forget();
    pair.callee.Forget();
  }
  state.counters["established_ms"] = Median(established);
  state.counters["media_ms"] = Median(media);
  state.counters["cleared_ms"] = Median(cleared);
}
BENCHMARK(SetUp)
    ->ArgNames({"routed", "fastStart"})
    ->Args({0, 1})
    ->Args({0, 0})
    ->Args({1, 1})
    ->Args({1, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(50);

void MemoryPerCall(benchmark::State& state) {
  const std::size_t calls = static_cast<std::size_t>(state.range(0));
  Pair pair(false, true);
  if (!pair.ok) {
    state.SkipWithError("registration failed");
    return;
  }
  // One call first: what any call sets up once is not counted.
  std::string warm;
  pair.caller.MakeCall("5550200@", warm);
  pair.caller.WaitStep(warm, BenchPhone::kEstablished);
  pair.caller.ClearCall(warm);
  pair.caller.WaitStep(warm, BenchPhone::kCleared);
  std::this_thread::sleep_for(200ms);
  double perCall = 0;
  for (auto _ : state) {
    pair.caller.Forget();
    pair.callee.Forget();
    const std::size_t before = test::ResidentKilobytes();
    std::vector<std::string> tokens(calls);
    for (auto& token : tokens) pair.caller.MakeCall("5550200@", token);
    // Each call's first channel counts (the map keeps one step per call and kind).
    pair.callee.WaitCount(BenchPhone::CallEvent::MediaStarted, calls);
    pair.caller.WaitCount(BenchPhone::CallEvent::MediaStarted, calls);
    std::this_thread::sleep_for(500ms);  // buffers filled
    const std::size_t during = test::ResidentKilobytes();
    perCall = static_cast<double>(during - std::min(during, before)) / static_cast<double>(calls);
    for (auto& token : tokens) pair.caller.ClearCall(token);
    pair.caller.WaitCount(BenchPhone::kCleared, calls);
    pair.callee.WaitCount(BenchPhone::kCleared, calls);
  }
  state.counters["kB_per_call"] = perCall;  // both ends of the call are in this process
}
BENCHMARK(MemoryPerCall)->Arg(20)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
