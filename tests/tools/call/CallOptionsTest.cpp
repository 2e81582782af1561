// vantro-call's command line: mistakes refused with their reasons.
#include "tools/call/CallOptions.h"

#include <gtest/gtest.h>

using vantro::tool::ParseCallOptions;

TEST(CallOptions, RefusesMistakesWithAReason) {
  // An unknown option is CallTool.EachFailureHasItsExitCode's.
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "call PARTY or answer"},
      {{"dial", "x"}, "unknown command"},
      {{"call"}, "needs the party"},
      {{"call", "a@1.2.3.4", "b@1.2.3.4"}, "one party"},
      {{"answer", "--dtmf", "12x"}, "bad value for --dtmf"},
      {{"answer", "--codec", "g722"}, "bad value for --codec"},
      {{"answer", "--rtp-ports", "6001-6100"}, "bad value for --rtp-ports"},
      {{"answer", "--gatekeeper", "gk:99999"}, "bad value for --gatekeeper"},
      {{"call", "5550200@"}, "give --gatekeeper"},
      {{"call", "a@not a host"}, "names no party"},
      {{"answer", "--wav-out", "a.wav", "--play-device", "speaker"}, "choose one"},
      {{"answer", "--password", "pw"}, "give --gatekeeper too"},
  };
  for (const auto& [args, reason] : cases) {
    std::string error;
    EXPECT_FALSE(ParseCallOptions(args, error)) << args.size() << " " << reason;
    EXPECT_NE(error.find(reason), std::string::npos) << reason << " -> " << error;
  }
}
