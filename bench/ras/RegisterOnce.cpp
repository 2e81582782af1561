// One registration in a process of its own, as the dialer makes it right after start-up:
//   bench_ras_register_once GATEKEEPER-ADDRESS [PASSWORD]
// Exit status 0 when registered.
#include "stack/endpoint/H323EndPoint.h"

#include <chrono>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  vantro::endpoint::H323EndPoint ep;
  ep.SetLocalUserName("5550100");
  if (argc > 2) ep.SetGatekeeperPassword(argv[2]);
  ep.SetRegistrationTimeToLive(std::chrono::seconds(10));
  if (!ep.StartListeners({"127.0.0.1:0"})) return 1;
  return ep.UseGatekeeper(argv[1]) ? 0 : 1;
}
