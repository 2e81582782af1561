// Junk and truncated TPKT streams to a live call signalling listener: a stream cut into reads of a
// size the first octet decides, closed early or left open (the second octet). The listener must
// close what brings no Setup, take a Setup that does come, and stay up; no socket may leak.

#include "fuzz/calls/FuzzCallHost.h"
#include "stack/endpoint/H323ListenerTCP.h"
#include "stack/h225/TpktChannel.h"
#include "tests/support/ProcessCounters.h"

#include <cstdio>
#include <cstdlib>

using namespace vantro;
using namespace std::chrono_literals;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t chunk = data[0] % 64 + 1;
  const bool closeEarly = data[1] & 1;
  const std::size_t before = test::OpenDescriptors();
  {
    fuzz::FuzzCallHost host;
    host.settings.acceptUnadmittedCalls = true;
    asio::io_context& io = host.GetIoContext();
    auto listener = host.Listen(5ms);
    if (!listener) return 0;
    std::error_code ec;
    fuzz::FarEnd far(io);
    far.Socket().connect({asio::ip::address_v4::loopback(), listener->LocalAddress().port}, ec);
    if (ec) return 0;
    for (std::size_t at = 2; at < size; at += chunk) {
      far.Write(std::vector<std::uint8_t>(data + at, data + std::min(size, at + chunk)));
      host.Poll();
      far.Drain();
    }
    if (closeEarly) far.Close();
    host.RunFor(8ms);
    far.Drain();
    if (!host.Finish()) {
      std::fprintf(stderr, "finding: a call from the stream never ended\n");
      std::abort();
    }
    far.Close();
    listener->Close();
    host.Poll();
  }
  if (test::OpenDescriptors() > before) {
    std::fprintf(stderr, "finding: %zu descriptors leaked\n", test::OpenDescriptors() - before);
    std::abort();
  }
  return 0;
}
