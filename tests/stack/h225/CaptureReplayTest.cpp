// Real peers' calls replayed into our connection: one side of each reference capture (a gatekeeper
// routing between two endpoints of an open-source H.323 library, or the endpoints themselves),
// played from the recorded bytes against our caller or our callee, to the end of the call. Only
// the call reference (ours differs) and an H.245 address (to where the replay listens) are
// rewritten, as a gatekeeper would. Nothing may be logged as dropped or failed on the way.

#include "runtime/PTrace.h"
#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"
#include "stack/asn/generated/H245.h"
#include "stack/q931/Tpkt.h"
#include "tests/stack/CaptureVectors.h"
#include "tests/stack/h225/CallHarness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>

namespace vantro::test {
namespace {

using q931::Q931Message;
using E = H323Connection;
using Octets = std::vector<std::uint8_t>;

// The payloads of a capture by direction ("35048>1721").
std::map<std::string, std::vector<Octets>> LoadCalls(const std::string& name) {
  const char* source = std::getenv("VANTRO_SOURCE_DIR");
  std::ifstream in(std::string(source ? source : ".") + "/tests/stack/h225/data/" + name + ".calls");
  EXPECT_TRUE(in) << name;
  std::map<std::string, std::vector<Octets>> calls;
  std::string line, direction;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (line.rfind("stream ", 0) == 0) {
      direction = line.substr(line.find(' ', 7) + 1);
      continue;
    }
    calls[direction].push_back(FromHex(line));
  }
  return calls;
}

// A warning or an error of call signalling or H.245 while a replay runs fails it.
struct TraceWatch {
  TraceWatch() : previous(PTrace::GetLevel()) {
    PTrace::SetLevel(std::max(previous, 2u));
    PTrace::SetSink([](unsigned level, std::string_view component, std::string_view text) {
      if (level <= 2 && (component == "H225" || component == "H245")) ADD_FAILURE() << component << ": " << text;
    });
  }
  ~TraceWatch() {
    PTrace::SetSink({});
    PTrace::SetLevel(previous);
  }
  unsigned previous;
};

Octets WithCallReference(Octets payload, std::uint16_t reference) {
  if (payload.size() > 4 && payload[1] == 2) {
    payload[2] = static_cast<std::uint8_t>((payload[2] & 0x80) | ((reference >> 8) & 0x7f));
    payload[3] = static_cast<std::uint8_t>(reference & 0xff);
  }
  return payload;
}

Octets WithH245Address(const Octets& payload, std::uint16_t port) {
  auto m = h225::H225Message::Decode(payload);
  if (!m || !m->H245Address()) return payload;
  m->SetH245Address(Loopback(port));
  return *m->Encode();
}

void SendH245(asio::ip::tcp::socket& socket, const std::vector<Octets>& messages) {
  for (const auto& m : messages) {
    asio::write(socket, asio::buffer(*q931::TpktFrame(m)));
    std::this_thread::sleep_for(10ms);
  }
}

// What we said meanwhile, drained so that our side never blocks on a full socket.
void Drain(SignalPeer& peer, std::chrono::milliseconds wait) {
  const auto until = std::chrono::steady_clock::now() + wait;
  while (std::chrono::steady_clock::now() < until)
    if (!peer.Receive(5ms)) std::this_thread::sleep_for(2ms);
}

// Master/slave determination is settled by random numbers: our side draws the one that makes the
// recorded far end's acknowledgement right (it answered a peer whose number we do not know).
std::optional<std::uint32_t> NumberAgreeingWith(const std::vector<Octets>& q931, const std::vector<Octets>& h245) {
  namespace m = asn::h245;
  std::vector<asn::Value> messages;
  auto add = [&](const Octets& bytes) {
    if (auto v = asn::Decode(m::MultimediaSystemControlMessage::Id, bytes)) messages.push_back(*v);
  };
  for (const auto& payload : q931)
    if (auto message = h225::H225Message::Decode(payload))
      for (const auto& bytes : message->H245Control()) add(bytes);
  for (const auto& bytes : h245) add(bytes);
  std::optional<std::uint32_t> theirs;
  std::optional<bool> weAreMaster;
  for (const auto& v : messages) {
    if (const asn::Value* msd = v.Find("request.masterSlaveDetermination"))
      theirs = static_cast<std::uint32_t>(msd->Find("statusDeterminationNumber")->Integer());
    if (const asn::Value* ack = v.Find("response.masterSlaveDeterminationAck"))
      weAreMaster = ack->Find("decision.master") != nullptr;
  }
  if (!theirs || !weAreMaster) return std::nullopt;
  const std::uint32_t quarter = 1u << 22;
  return (*weAreMaster ? *theirs - quarter : *theirs + quarter) & 0xffffff;
}

struct Replay {
  Replay() {
    host.settings.capabilities = CapabilitiesOf({"G.729A", "G.723.1A", "G.711-uLaw-64k", "G.711-ALaw-64k"});
    host.settings.acceptUnadmittedCalls = true;
  }

  // Our callee takes the recorded caller's messages (and its H.245 connection, when there is one:
  // to our address, or from us to the address it gives, which leads to the replay).
  void AsCallee(const std::vector<Octets>& q931, const std::vector<Octets>& h245 = {}) {
    if (auto number = NumberAgreeingWith(q931, h245)) host.settings.masterSlaveNumber = [n = *number] { return n; };
    const auto port = host.Listen();
    SignalPeer peer;
    ASSERT_TRUE(peer.Connect(port));
    asio::io_context io;
    asio::ip::tcp::acceptor h245Listener(io, {asio::ip::address_v4::loopback(), 0});
    asio::ip::tcp::socket theirs(io);
    std::optional<asn::Ipv4Address> ours;
    for (std::size_t i = 0; i < q931.size(); ++i) {
      const bool last = i + 1 == q931.size();
      if (last && !h245.empty()) {
        ASSERT_TRUE(ours) << "no H.245 address from our callee";
        asio::ip::tcp::socket socket(io);
        socket.connect({asio::ip::address_v4(ours->ip), ours->port});
        SendH245(socket, h245);
        Drain(peer, 50ms);
      }
      const Octets payload = WithH245Address(q931[i], h245Listener.local_endpoint().port());
      peer.SendPayload(payload);
      if (payload != q931[i]) h245Listener.accept(theirs);  // we were asked to connect there
      const auto until = std::chrono::steady_clock::now() + 30ms;
      while (std::chrono::steady_clock::now() < until)
        if (auto m = peer.Receive(5ms); m && m->H245Address()) ours = m->H245Address();
    }
    ASSERT_TRUE(host.WaitEnded());
  }

  // Our caller gets the recorded callee's messages; an H.245 address in them leads to the replay,
  // which then plays the recorded H.245 of that side. When the recorded caller ended the call
  // (weClear), ours does so where it did: before the far end's last answers (its EndSessionCommand
  // and Release Complete), which follow.
  void AsCaller(std::vector<Octets> q931, std::vector<Octets> h245, bool weClear) {
    if (auto number = NumberAgreeingWith(q931, h245)) host.settings.masterSlaveNumber = [n = *number] { return n; };
    std::vector<Octets> answers, h245Answers;
    if (weClear) {
      if (!q931.empty() && q931.back().size() > 4 && q931.back()[4] == Q931Message::ReleaseComplete) {
        answers.push_back(q931.back());
        q931.pop_back();
      }
      if (!h245.empty()) {
        auto last = asn::Decode(asn::h245::MultimediaSystemControlMessage::Id, h245.back());
        if (last && last->Find("command.endSessionCommand")) {
          h245Answers.push_back(h245.back());
          h245.pop_back();
        }
      }
    }
    SignalPeer peer;
    const auto port = peer.Listen();
    asio::io_context io;
    asio::ip::tcp::acceptor h245Listener(io, {asio::ip::address_v4::loopback(), 0});
    asio::ip::tcp::socket socket(io);
    auto call = host.Call("5551234@127.0.0.1:" + std::to_string(port), 0x0321);
    ASSERT_TRUE(peer.Accept());
    auto setup = peer.Receive();
    ASSERT_TRUE(setup);
    auto send = [&](const Octets& payload) {
      peer.SendPayload(
          WithH245Address(WithCallReference(payload, setup->CallReference()), h245Listener.local_endpoint().port()));
      Drain(peer, 30ms);
    };
    for (const auto& payload : q931) send(payload);
    if (!h245.empty()) {
      h245Listener.accept(socket);
      SendH245(socket, h245);
      Drain(peer, 50ms);
    }
    if (weClear) {
      call->ClearCall();
      ASSERT_TRUE(peer.ReceiveType(Q931Message::ReleaseComplete));
      if (socket.is_open()) SendH245(socket, h245Answers);
      for (const auto& payload : answers) send(payload);
    }
    ASSERT_TRUE(host.WaitEnded());
  }

  TraceWatch trace;
  FakeHost host;
};

// One call of a capture, which side of it we play, and what that call had.
struct Call {
  const char* capture;
  const char* q931;  // the direction of the recorded far end's signalling
  const char* h245;  // of its H.245 connection, if it had one
  bool asCaller, weClear;
  E::CallEndReason reason;
  unsigned cause;
  const char* keys;  // each character one key we heard
  bool fastStart;
  int channels;  // opened on our side; -1 some
};

const Call kCalls[] = {
    {"routed-g711", "30000>1722", "", false, false, E::EndedByRemoteUser, 16, "", false, -1},
    {"routed-g711", "1721>35048", "", true, true, E::EndedByLocalUser, 16, "", false, -1},
    {"direct-g711", "31100>1722", "", false, false, E::EndedByRemoteUser, 16, "123#", false, -1},
    {"direct-g711", "1722>31100", "", true, true, E::EndedByLocalUser, 16, "", false, -1},
    {"routed-noTunnel", "20001>1722", "30001>31000", false, false, E::EndedByRemoteUser, 16, "9", false, -1},
    // The far end's channel opens; ours is acknowledged under the recorded number, not ours.
    {"routed-noTunnel", "1721>31101", "30000>31102", true, true, E::EndedByLocalUser, 16, "", false, 1},
    {"routed-faststart-noTunnel", "20001>1722", "", false, false, E::EndedByRemoteUser, 16, "", true, -1},
    {"routed-faststart-noTunnel", "1721>31101", "", true, true, E::EndedByLocalUser, 16, "", true, -1},
    {"routed-dtmf-busy", "20003>1722", "", false, false, E::EndedByRemoteUser, 16, "0123456789*#", false, -1},
    {"routed-dtmf-busy", "1721>31200", "", true, false, E::EndedByRemoteBusy, 17, "", false, 0},
};

TEST(CaptureReplay, EveryRecordedCallRunsToItsEndWithoutAWarning) {
  for (const Call& c : kCalls) {
    SCOPED_TRACE(std::string(c.capture) + " " + c.q931);
    Replay r;
    auto calls = LoadCalls(c.capture);
    std::vector<Octets> h245 = *c.h245 ? calls[c.h245] : std::vector<Octets>{};
    if (c.asCaller)
      r.AsCaller(calls[c.q931], h245, c.weClear);
    else
      r.AsCallee(calls[c.q931], h245);
    const auto seen = r.host.Seen();
    ASSERT_EQ(seen.ended.size(), 1u);
    EXPECT_EQ(seen.ended[0].reason, c.reason) << E::CallEndReasonName(seen.ended[0].reason);
    EXPECT_EQ(seen.ended[0].cause, c.cause);
    EXPECT_EQ(seen.ended[0].established, c.cause == 16);
    std::vector<std::string> keys;
    for (const char* k = c.keys; *k; ++k) keys.emplace_back(1, *k);
    EXPECT_EQ(seen.input, keys);
    EXPECT_EQ(seen.Has(FakeHost::CallEvent::FastStartAccepted), c.fastStart);
    const auto channels = r.host.media.Channels();
    if (c.channels < 0)
      EXPECT_FALSE(channels.empty());
    else
      EXPECT_EQ(channels.size(), static_cast<std::size_t>(c.channels));
    if (c.channels == 1) {
      EXPECT_EQ(channels[0].direction, endpoint::H323Channel::IsReceiver);
    }
  }
}

}  // namespace
}  // namespace vantro::test
