// An H.245 control driven through arbitrary sequences of the far end's messages, our own
// operations and timer expiries, with an owner whose answers come from the input. Everything the
// control sends must encode; nothing may throw out of it, crash or leak.
//
// Input: one octet of flags, then records, each an operation octet and its operands:
//   flags  bit 0 start first, bit 1 timers run out at once, bit 2 accept channels, bit 3 destroy
//          the control on failure, bit 4 open a channel when ready, bit 5 equal random numbers,
//          bit 6 hold timeouts, bit 7 the owner closes a channel from every callback
//   op % 12: 0 message (16-bit length, PER), 1 OpenChannel (format), 2 CloseChannel (n),
//          3 RequestChannelClose (n), 4 SendUserInput (char), 5 round trip delay, 6 run due timers,
//          7 EndSessionCommand, 8 fast start channel (n, direction), 9 Start,
//          10 fast start (16-bit length; elements of 8-bit lengths), 11 a new control

#include "stack/asn/Per.h"
#include "stack/asn/generated/H245.h"
#include "stack/h245/H245Control.h"
#include "stack/h245/H245FastStart.h"

#include <asio.hpp>

#include <cstdint>
#include <memory>
#include <span>

namespace {

using namespace vantro;

struct Input {
  std::span<const std::uint8_t> data;
  std::size_t at = 0;
  bool Empty() const { return at >= data.size(); }
  std::uint8_t Byte() { return at < data.size() ? data[at++] : 0; }
  std::span<const std::uint8_t> Bytes(std::size_t n) {
    n = std::min(n, data.size() - std::min(at, data.size()));
    auto out = data.subspan(at, n);
    at += n;
    return out;
  }
  std::size_t Length() { return static_cast<std::size_t>(Byte()) << 8 | Byte(); }
};

endpoint::H323Capabilities Table() {
  endpoint::H323Capabilities t;
  t.SetCapability(0, endpoint::kNewCapabilitySet, std::make_unique<endpoint::H323_G729ACapability>());
  t.SetCapability(0, endpoint::kNewCapabilitySet, std::make_unique<endpoint::H323_G7231Capability>(true));
  t.SetCapability(0, endpoint::kNewCapabilitySet, std::make_unique<endpoint::H323_G711Capability>());
  return t;
}

asn::Ipv4Address Local(std::uint16_t port) { return {{127, 0, 0, 1}, port}; }

class Owner : public h245::H245Control::Owner {
 public:
  Owner(asio::io_context& io, std::uint8_t flags) : io_(io), flags_(flags) { Make(); }

  void Make() {
    h245::H245Control::Settings s;
    s.capabilities = Table();
    s.requestTimeout = (flags_ & 2) ? std::chrono::milliseconds(0) : std::chrono::hours(1);
    if (flags_ & 32) s.randomNumber = [] { return 12345u; };
    control = std::make_unique<h245::H245Control>(io_.get_executor(), *this, std::move(s));
    if (flags_ & 64) control->HoldTimeouts(true);
  }

  void SendMessage(const asn::Value& message) override {
    auto bytes = asn::Encode(message);
    if (!bytes) __builtin_trap();  // whatever we send must encode
    if (!asn::Decode(asn::h245::MultimediaSystemControlMessage::Id, *bytes)) __builtin_trap();
  }
  void OnRemoteCapabilities(const h245::RemoteCapabilities& c) override {
    (void)c.FirstCommon(Table());
    (void)c.ReceiveAudio();
  }
  void OnControlReady(bool) override {
    if (flags_ & 16) Open(0);
  }
  h245::IncomingAnswer OnOpenChannel(const h245::IncomingChannel& channel) override {
    h245::IncomingAnswer a;
    a.accept = (flags_ & 4) && channel.number % 3 != 0;
    a.media = Local(5000);
    a.control = Local(5001);
    a.rejectCause = static_cast<std::uint16_t>(channel.number % 20);  // some beyond the causes
    return a;
  }
  void OnChannelOpened(unsigned number, std::optional<asn::Ipv4Address>, std::optional<asn::Ipv4Address>,
                       std::optional<unsigned>) override {
    Reenter(number);
  }
  void OnChannelRejected(unsigned number) override { Reenter(number); }
  void OnChannelClosed(unsigned number, bool) override { Reenter(number); }
  void OnUserInput(const std::string&) override {}
  void OnEndSession() override {
    if (control) control->SendEndSession();
  }
  void OnFailure(const std::string&) override {
    if (flags_ & 8) control.reset();
  }

  void Open(std::uint8_t format) {
    if (!control) return;
    const auto& entries = table_.Entries();
    const auto& c = entries[format % entries.size()].capability;
    control->OpenChannel({1, c->GetAudioCapability(endpoint::H323Capability::Direction::Transmit), Local(5001)});
  }

  std::unique_ptr<h245::H245Control> control;

 private:
  void Reenter(unsigned number) {
    if ((flags_ & 128) && control) control->CloseChannel(number + 1);
  }

  asio::io_context& io_;
  std::uint8_t flags_;
  endpoint::H323Capabilities table_ = Table();
};

void FastStart(std::span<const std::uint8_t> bytes) {
  std::vector<h245::Octets> elements;
  Input in{bytes};
  while (!in.Empty()) {
    auto e = in.Bytes(in.Byte());
    elements.emplace_back(e.begin(), e.end());
  }
  const h245::FastStartLocal local{1, Local(5000), Local(5001)};
  auto answer = h245::SelectFastStart(elements, Table(), local);
  for (const auto& reply : answer.reply)
    if (!asn::Decode(asn::h245::OpenLogicalChannel::Id, reply)) __builtin_trap();
  (void)h245::ReadFastStartAnswer(elements, Table(), local);
  (void)h245::ReadFastStartAnswer(answer.reply, Table());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in{{data, size}};
  asio::io_context io;
  const std::uint8_t flags = in.Byte();
  Owner owner(io, flags);
  if ((flags & 1) && owner.control) owner.control->Start();
  while (!in.Empty()) {
    const std::uint8_t op = in.Byte() % 12;
    if (op == 11) {
      owner.Make();
      continue;
    }
    if (op == 10) {
      FastStart(in.Bytes(in.Length()));
      continue;
    }
    if (op == 6) {
      io.poll();
      io.restart();
      continue;
    }
    h245::H245Control* control = owner.control.get();
    switch (op) {
      case 0: {
        auto bytes = in.Bytes(in.Length());
        auto message = asn::Decode(asn::h245::MultimediaSystemControlMessage::Id, bytes);
        if (message && control) control->HandleMessage(*message);
        break;
      }
      case 1: owner.Open(in.Byte()); break;
      case 2:
        if (control) control->CloseChannel(in.Byte());
        break;
      case 3:
        if (control) control->RequestChannelClose(in.Byte());
        break;
      case 4:
        if (control) control->SendUserInput(std::string(1, static_cast<char>(in.Byte())));
        break;
      case 5:
        if (control) control->SendRoundTripDelayRequest();
        break;
      case 7:
        if (control) control->SendEndSession();
        break;
      case 8: {
        const std::uint8_t n = in.Byte();
        if (control) control->AddFastStartChannel(n, in.Byte() & 1);
        break;
      }
      case 9:
        if (control) control->Start();
        break;
    }
  }
  io.poll();
  owner.control.reset();
  io.poll();  // handlers of the destroyed control's timers: they must do nothing
  return 0;
}
