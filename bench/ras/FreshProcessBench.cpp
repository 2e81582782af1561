// Registration of a process that has just started, as the dialer registers after start-up: the
// time from the gatekeeper's discovery confirm leaving the gatekeeper to the registration request
// arriving there, measured by the test gatekeeper. Everything the process has not set up yet
// that this step needs (the password tokens' digests above all) shows here. Each iteration runs
// bench_ras_register_once anew; the gatekeeper chooses H.235.1, as common gatekeepers do when it
// is offered, or checks nothing.
//   build/bench/ras/bench_ras --benchmark_filter=FreshProcess
// Manual time: the figure per iteration; the counters give its median and largest value.
#include <benchmark/benchmark.h>

#include "stack/asn/generated/H225.h"
#include "tests/support/TestGatekeeper.h"

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <vector>

extern char** environ;

namespace {

using vantro::test::TestGatekeeper;
namespace h225 = vantro::asn::h225;

bool RegisterOnce(const std::string& address, const std::string& password) {
  std::vector<std::string> args{VANTRO_REGISTER_ONCE, address};
  if (!password.empty()) args.push_back(password);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void FreshProcess(benchmark::State& state, TestGatekeeper::Auth auth) {
  TestGatekeeper::Script script;
  script.auth = auth;
  script.password = "secret";
  TestGatekeeper gk(script);
  std::vector<double> figures;
  for (auto _ : state) {
    const std::size_t sentBefore = gk.SentMessages().size();
    const std::size_t receivedBefore = gk.Messages().size();
    if (!RegisterOnce(gk.Address(), auth == TestGatekeeper::Auth::None ? "" : script.password)) {
      state.SkipWithError("the helper did not register");
      return;
    }
    const auto sent = gk.SentMessages();
    const auto received = gk.Messages();
    auto confirm = std::find_if(sent.begin() + static_cast<std::ptrdiff_t>(sentBefore), sent.end(),
                                [](auto& s) { return s.kind == h225::RasMessage::gatekeeperConfirm; });
    auto request = std::find_if(received.begin() + static_cast<std::ptrdiff_t>(receivedBefore), received.end(),
                                [](auto& r) { return r.message.Is(h225::RasMessage::registrationRequest); });
    if (confirm == sent.end() || request == received.end()) {
      state.SkipWithError("no confirm or no registration request");
      return;
    }
    const double seconds = std::chrono::duration<double>(request->at - confirm->at).count();
    figures.push_back(seconds);
    state.SetIterationTime(seconds);
  }
  if (figures.empty()) return;
  std::sort(figures.begin(), figures.end());
  state.counters["median_us"] = figures[figures.size() / 2] * 1e6;
  state.counters["max_us"] = figures.back() * 1e6;
}

void BM_FreshProcessConfirmToRegistration(benchmark::State& state) { FreshProcess(state, TestGatekeeper::Auth::None); }
void BM_FreshProcessConfirmToRegistrationWithH2351(benchmark::State& state) {
  FreshProcess(state, TestGatekeeper::Auth::Procedure1);
}
void BM_FreshProcessConfirmToRegistrationAllTokens(benchmark::State& state) {
  FreshProcess(state, TestGatekeeper::Auth::Unannounced);
}

BENCHMARK(BM_FreshProcessConfirmToRegistration)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(40);
BENCHMARK(BM_FreshProcessConfirmToRegistrationWithH2351)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(40);
BENCHMARK(BM_FreshProcessConfirmToRegistrationAllTokens)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(40);

}  // namespace
