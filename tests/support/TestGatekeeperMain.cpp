// The test gatekeeper as a program, to run the dialer against by hand:
//   test_gatekeeper [--password PW] [--auth none|md5|cat|h2351|any] [--reject N] [--silent] [--ttl S]
//                   [--delay MS]   (RequestInProgress first, the answer MS milliseconds later)
// It prints "listening on 127.0.0.1:PORT" and runs until its standard input closes.
#include "tests/support/TestGatekeeper.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

using vantro::test::TestGatekeeper;

int main(int argc, char** argv) {
  TestGatekeeper::Script script;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : "";
    if (arg == "--password") {
      script.password = value;
      ++i;
    } else if (arg == "--auth") {
      const std::string a = value;
      script.auth = a == "md5"     ? TestGatekeeper::Auth::Md5
                    : a == "cat"   ? TestGatekeeper::Auth::Cat
                    : a == "h2351" ? TestGatekeeper::Auth::Procedure1
                    : a == "any"   ? TestGatekeeper::Auth::Unannounced
                                   : TestGatekeeper::Auth::None;
      ++i;
    } else if (arg == "--reject") {
      script.registrationReject = static_cast<std::uint16_t>(std::atoi(value));
      ++i;
    } else if (arg == "--silent") {
      script.answerDiscovery = false;
    } else if (arg == "--delay") {
      script.progressDelay = std::chrono::milliseconds(std::atoi(value));
      ++i;
    } else if (arg == "--ttl") {
      script.grantedTimeToLive = static_cast<std::uint32_t>(std::atoi(value));
      ++i;
    } else {
      std::fprintf(stderr, "unknown argument %s\n", argv[i]);
      return 2;
    }
  }
  TestGatekeeper gatekeeper(script);
  std::printf("listening on %s\n", gatekeeper.Address().c_str());
  std::fflush(stdout);
  std::string line;
  while (std::getline(std::cin, line)) {
    if (line == "urq") gatekeeper.SendUnregistrationRequest(std::nullopt);
    if (line == "count") std::printf("%zu messages\n", gatekeeper.Messages().size());
    std::fflush(stdout);
  }
  return 0;
}
