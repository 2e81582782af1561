// vantro-call: places or answers one H.323 call from the command line and reports each step, for
// line tests by people and scripts. `vantro-call --help` tells how.

#include "tools/call/CallAudio.h"
#include "tools/call/CallOptions.h"
#include "tools/call/CallRunner.h"
#include "tools/call/EventPrinter.h"
#include "tools/call/ExitCode.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

using namespace vantro::tool;

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  const auto options = ParseCallOptions(args, error);
  if (!options) {
    std::fprintf(stderr, "vantro-call: %s\n", error.c_str());
    return static_cast<int>(ExitCode::Usage);
  }
  if (options->mode == CallOptions::Mode::Help) {
    std::fputs(CallOptionsUsage().c_str(), stdout);
    return 0;
  }
  EventPrinter printer(stdout, stderr, options->json);
  try {
    if (options->mode == CallOptions::Mode::ListDevices) {
      CallAudio::ListDevices(printer);
      return 0;
    }
    CallRunner runner(*options, printer);
    return static_cast<int>(runner.Run());
  } catch (const std::exception& e) {
    printer.Error(std::string("unexpected failure: ") + e.what());
    return static_cast<int>(ExitCode::CallFailed);
  }
}
