// The test gatekeeper as a program, to run endpoints against by hand; README.md lists its options
// and the commands it reads from its standard input until that closes.
#include "tests/support/TestGatekeeper.h"

#include <cstdio>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

using vantro::test::TestGatekeeper;

int main(int argc, char** argv) {
  using Auth = TestGatekeeper::Auth;
  TestGatekeeper::Script script;
  std::uint16_t rasPort = 0, signallingPort = 0;
  const auto number = [](const char* text) { return static_cast<std::uint16_t>(std::atoi(text)); };
  const std::map<std::string, std::function<void(const char*)>> options = {
      {"--password", [&](const char* v) { script.password = v; }},
      {"--auth",
       [&](const char* v) {
         const std::map<std::string, Auth> auths = {
             {"md5", Auth::Md5}, {"cat", Auth::Cat}, {"h2351", Auth::Procedure1}, {"any", Auth::Unannounced}};
         script.auth = auths.count(v) ? auths.at(v) : Auth::None;
       }},
      {"--reject", [&](const char* v) { script.registrationReject = number(v); }},
      {"--arj", [&](const char* v) { script.admissionReject = number(v); }},
      {"--arj-answer", [&](const char* v) { script.answerCallReject = number(v); }},
      {"--delay", [&](const char* v) { script.progressDelay = std::chrono::milliseconds(std::atoi(v)); }},
      {"--ttl", [&](const char* v) { script.grantedTimeToLive = static_cast<std::uint32_t>(std::atoi(v)); }},
      {"--irr", [&](const char* v) { script.irrFrequency = static_cast<std::uint32_t>(std::atoi(v)); }},
      {"--port", [&](const char* v) { rasPort = number(v); }},
      {"--signal-port", [&](const char* v) { signallingPort = number(v); }},
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--silent" || arg == "--routed") {
      (arg == "--silent" ? script.answerDiscovery : script.routed) = arg == "--routed";
    } else if (!options.count(arg) || i + 1 >= argc) {
      std::fprintf(stderr, "%s: unknown, or without its value\n", argv[i]);
      return 2;
    } else {
      options.at(arg)(argv[++i]);
    }
  }
  try {
    TestGatekeeper gatekeeper(script, rasPort, signallingPort);
    std::printf("listening on %s\n", gatekeeper.Address().c_str());
    std::printf("call signalling on 127.0.0.1:%u (%s)\n", gatekeeper.SignallingPort(),
                script.routed ? "routed" : "direct");
    std::fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
      std::istringstream words(line);
      std::string command, alias;
      words >> command >> alias;
      if (command == "urq") {
        auto answer = gatekeeper.SendUnregistrationRequest(std::nullopt, std::chrono::seconds(2),
                                                           TestGatekeeper::Signing::AsScript, alias);
        std::printf("%s\n", answer ? answer->Alternative().TypeName() : "no answer");
      } else if (command == "drop") {
        std::printf("%zu disengage confirms\n", gatekeeper.DropCalls());
      } else if (command == "calls") {
        std::printf("%zu calls admitted, %zu active, %zu relayed, %zu H.245 connections\n", gatekeeper.Calls().size(),
                    gatekeeper.ActiveCalls(), gatekeeper.Relay().SetupsRelayed(), gatekeeper.Relay().H245Joined());
      } else if (command == "regs") {
        for (auto& r : gatekeeper.Registrations()) {
          std::printf("%s", r.endpointId.c_str());
          for (auto& a : r.aliases) std::printf(" %s", a.c_str());
          std::printf(" at %u.%u.%u.%u:%u\n", r.callSignal.ip[0], r.callSignal.ip[1], r.callSignal.ip[2],
                      r.callSignal.ip[3], r.callSignal.port);
        }
      } else if (command == "count") {
        std::printf("%zu messages\n", gatekeeper.Messages().size());
      } else if (!command.empty()) {
        std::printf("unknown command %s\n", command.c_str());
      }
      std::fflush(stdout);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "test_gatekeeper: %s\n", e.what());
    return 1;
  }
  return 0;
}
