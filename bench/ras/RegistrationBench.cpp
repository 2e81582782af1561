// How long registration takes on loopback: UseGatekeeper (discovery and a full registration) until
// it returns registered, against the test gatekeeper, with and without H.235.1 password tokens.
// Each iteration registers a fresh endpoint. Report the median of the repetitions:
//   build/bench/ras/bench_ras --benchmark_repetitions=30 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include "stack/endpoint/H323EndPoint.h"
#include "tests/support/TestGatekeeper.h"

namespace {

using vantro::test::TestGatekeeper;

void Register(benchmark::State& state, TestGatekeeper::Auth auth) {
  TestGatekeeper::Script script;
  script.auth = auth;
  script.password = "secret";
  TestGatekeeper gk(script);
  for (auto _ : state) {
    // A fresh endpoint each time, set up outside the timing: only UseGatekeeper is measured.
    state.PauseTiming();
    auto ep = std::make_unique<vantro::endpoint::H323EndPoint>();
    ep->SetLocalUserName("5550100");
    if (auth != TestGatekeeper::Auth::None) ep->SetGatekeeperPassword("secret");
    ep->SetRegistrationTimeToLive(std::chrono::seconds(10));
    if (!ep->StartListeners({"127.0.0.1:0"})) {
      state.SkipWithError("no listener");
      return;
    }
    state.ResumeTiming();
    const bool registered = ep->UseGatekeeper(gk.Address());
    state.PauseTiming();
    if (!registered) {
      state.SkipWithError("not registered");
      return;
    }
    ep.reset();
    state.ResumeTiming();
  }
}

void BM_UseGatekeeperToRegistered(benchmark::State& state) { Register(state, TestGatekeeper::Auth::None); }
void BM_UseGatekeeperToRegisteredWithH2351(benchmark::State& state) {
  Register(state, TestGatekeeper::Auth::Procedure1);
}

BENCHMARK(BM_UseGatekeeperToRegistered)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_UseGatekeeperToRegisteredWithH2351)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
