// Drives one connection, our caller or our callee, through arbitrary sequences of what a far end
// may send: Q.931 messages with H.225.0, H.245 messages (tunnelled in a Facility), raw octets on
// the stream, the passing of time (timers fire) and the user's own actions. The far end is the
// fuzzer at the other end of a loopback connection; everything runs on the fuzzer's thread.
//
// Input: a mode octet (bit 0 callee, 1 no fast start, 2 no tunnelling, 3 registered, 4 answer later),
// then records of a kind octet, a two-octet length and the payload.
// Findings: a crash, a sanitizer report, a call that never ends when cleared, one that ends twice.

#include "fuzz/calls/FuzzCallHost.h"
#include "stack/endpoint/H323ListenerTCP.h"
#include "stack/h225/H225MessageBuilder.h"
#include "stack/h225/TpktChannel.h"
#include "stack/q931/Tpkt.h"

#include <cstdio>
#include <cstdlib>

using namespace vantro;
using namespace std::chrono_literals;

namespace {

endpoint::H323Capabilities Table() {
  endpoint::H323Capabilities table;
  table.SetCapability(0, endpoint::kNewCapabilitySet, std::make_unique<endpoint::H323_G729ACapability>());
  table.SetCapability(0, endpoint::kNewCapabilitySet, std::make_unique<endpoint::H323_G7231Capability>(true));
  table.SetCapability(0, endpoint::kNewCapabilitySet, std::make_unique<endpoint::H323_G711Capability>());
  return table;
}

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "finding: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t mode = data[0];
  const bool callee = mode & 1;
  std::size_t at = 1;

  fuzz::FuzzCallHost host;
  host.settings.capabilities = Table();
  host.settings.fastStartDisabled = mode & 2;
  host.settings.tunnelingDisabled = mode & 4;
  host.settings.registered = mode & 8;
  host.settings.acceptUnadmittedCalls = true;
  if (mode & 16) host.answer = endpoint::H323ConnectionHost::AnswerCallPending;
  asio::io_context& io = host.GetIoContext();
  fuzz::FarEnd far(io);
  std::shared_ptr<endpoint::H323ListenerTCP> listener;
  std::shared_ptr<endpoint::H323Connection> outgoing;
  std::uint16_t callReference = 0x1111;

  if (callee) {
    listener = host.Listen(20ms);
    if (!listener) return 0;
    std::error_code ec;
    far.Socket().connect({asio::ip::address_v4::loopback(), listener->LocalAddress().port}, ec);
    if (ec) return 0;
  } else {
    asio::ip::tcp::acceptor acceptor(io, {asio::ip::address_v4::loopback(), 0});
    acceptor.non_blocking(true);
    outgoing = host.Call("5550200@127.0.0.1:" + std::to_string(acceptor.local_endpoint().port()));
    std::error_code ec = asio::error::would_block;
    for (int i = 0; i < 100 && ec; ++i) {
      host.Poll();
      acceptor.accept(far.Socket(), ec);
    }
    if (ec) {
      Check(host.Finish(), "a call that could not connect never ended");
      return 0;
    }
  }
  host.Poll();
  far.Drain();

  while (at + 3 <= size) {
    const std::uint8_t kind = data[at];
    const std::size_t length =
        std::min<std::size_t>(static_cast<std::size_t>(data[at + 1]) << 8 | data[at + 2], size - at - 3);
    std::vector<std::uint8_t> payload(data + at + 3, data + at + 3 + length);
    at += 3 + length;
    switch (kind % 5) {
      case 0:  // a Q.931 message; the far end's call reference once a callee took one
        if (payload.size() > 4 && payload[1] == 2) {
          if (callee && payload[4] == q931::Q931Message::Setup)
            callReference = static_cast<std::uint16_t>((payload[2] & 0x7f) << 8 | payload[3]);
          payload[2] = static_cast<std::uint8_t>((payload[2] & 0x80) | ((callReference >> 8) & 0x7f));
          payload[3] = static_cast<std::uint8_t>(callReference);
        }
        if (auto framed = q931::TpktFrame(payload)) far.Write(*framed);
        break;
      case 1: {  // an H.245 message, tunnelled in a Facility
        h225::H225MessageBuilder b({callReference, callee, std::string(16, 'c'), std::string(16, 'f')});
        h225::H225Message carrier = b.H245Carrier();
        carrier.SetTunnelling(true);
        carrier.AddH245Control(payload);
        if (auto bytes = carrier.Encode())
          if (auto framed = q931::TpktFrame(*bytes)) far.Write(*framed);
        break;
      }
      case 2:  // octets as they are
        far.Write(payload);
        break;
      case 3:  // time passes
        host.RunFor(std::chrono::milliseconds(payload.empty() ? 1 : payload[0] % 8));
        break;
      case 4: {  // the user acts
        const std::uint8_t action = payload.empty() ? 0 : payload[0] % 4;
        std::shared_ptr<endpoint::H323Connection> call = outgoing ? outgoing : host.Any();
        if (!call) break;
        if (action == 0) call->ClearCall();
        if (action == 1) call->SendUserInput("5");
        if (action == 2) call->AnsweringCall(endpoint::H323ConnectionHost::AnswerCallNow);
        break;
      }
    }
    host.Poll();
    far.Drain();
  }

  Check(host.Finish(), "a cleared call never ended");
  Check(host.ended <= 1 && host.withdrawn <= 1 && host.ended + host.withdrawn <= 1, "a call ended twice");
  far.Close();
  if (listener) listener->Close();
  host.Poll();
  return 0;
}
