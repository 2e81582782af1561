// tshark reads every message our two endpoints send in whole calls, as they went out: Q.931 with
// H.225.0, H.245 tunnelled and on its own connection, each as its type, nothing malformed.

#include "stack/h225/TpktChannel.h"
#include "tests/stack/endpoint/TestPhone.h"
#include "tests/support/PcapWriter.h"
#include "tests/support/Recorder.h"
#include "tests/support/TestGatekeeper.h"
#include "tests/support/Tshark.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>

namespace vantro::test {
namespace {

// Every packet the process sends while it lives, for a capture file.
struct WireRecording {
  WireRecording() {
    h225::TpktChannel::SetWireTap(
        [this](const asn::Ipv4Address& from, const asn::Ipv4Address& to, std::span<const std::uint8_t> tpkt) {
          recorder.Write([&] { pcap.Add(from, to, tpkt); });
        });
  }
  ~WireRecording() { h225::TpktChannel::SetWireTap({}); }
  Recorder recorder;
  PcapWriter pcap;
};

struct Dissection {
  std::set<std::string> q931Types;  // "0x05", ...
  std::set<std::string> h245;       // "request.2", "response.3", ...
  std::size_t frames = 0, undecoded = 0, malformed = 0;
  std::string verbose;
};

// The packets' Q.931 message types and H.245 messages as tshark reads them.
Dissection Dissect(Tshark& tshark, const std::string& pcap) {
  const std::string heuristic = " --enable-heuristic q931_tcp";
  const char* kinds[] = {"h245.request", "h245.response", "h245.command", "h245.indication"};
  Dissection d;
  for (auto& f :
       tshark.Read(pcap, heuristic,
                   {"q931.message_type", "h245.pdu_type", kinds[0], kinds[1], kinds[2], kinds[3], "_ws.malformed"})) {
    ++d.frames;
    if (f["q931.message_type"].empty() && f["h245.pdu_type"].empty()) ++d.undecoded;
    if (!f["_ws.malformed"].empty()) ++d.malformed;
    std::istringstream types(f["q931.message_type"]), pdus(f["h245.pdu_type"]);
    std::string cell;
    while (std::getline(types, cell, ',')) d.q931Types.insert(cell);
    // Each PDU's kind, then its alternative among the alternatives of that kind, in order.
    std::map<int, std::istringstream> alternatives;
    while (std::getline(pdus, cell, ',')) {
      const int kind = std::stoi(cell);
      auto [it, added] = alternatives.try_emplace(kind, f[kinds[kind]]);
      std::string alternative;
      if (std::getline(it->second, alternative, ','))
        d.h245.insert(std::string(kinds[kind]).substr(5) + "." + alternative);
    }
  }
  d.verbose = tshark.Verbose(pcap, heuristic);
  return d;
}

// One call between two endpoints of ours, with keys, cleared by the caller.
void PlaceCall(bool fastStart, bool tunnelling) {
  TestGatekeeper gk;
  TestPhone caller("5550100", 440, 44000), callee("5550200", 1000, 44400);
  callee.DisableFastStart(!fastStart);
  caller.DisableH245Tunneling(!tunnelling);
  ASSERT_TRUE(caller.Register(gk.Address()));
  ASSERT_TRUE(callee.Register(gk.Address()));
  std::string token;
  ASSERT_TRUE(caller.MakeCall("5550200@", token));
  ASSERT_TRUE(caller.WaitFor([&] { return !caller.Established().empty() && !callee.Established().empty(); }));
  ASSERT_TRUE(caller.WaitFor([&] { return caller.HasStep(token, H323EndPoint::CallEvent::MediaStarted); }));
  for (const char* key : {"4", "2"})
    if (auto call = caller.FindConnectionWithLock(token)) call->SendUserInput(key);
  ASSERT_TRUE(callee.WaitFor([&] { return callee.UserInput().size() == 2; }));
  caller.ClearCall(token);
  ASSERT_TRUE(caller.WaitCleared());
  ASSERT_TRUE(callee.WaitCleared());
}

// tshark finds H.245 on its own connection from the address the signalling announced.
TEST(CallsOnTheWire, TunnelledWithFastStartAndOnItsOwnConnection) {
  Tshark tshark;
  if (!tshark.Available()) GTEST_SKIP() << "no tshark";
  const struct {
    bool tunnelledWithFastStart;
    std::vector<const char*> q931Types, h245;
    const char* word;  // in the full dissection
  } cases[] = {
      {true,
       {"0x05", "0x02", "0x07", "0x62", "0x5a"},
       {"request.2", "request.1", "response.3", "response.1", "indication.13", "command.5"},
       "fastStart"},
      {false,
       {"0x05", "0x02", "0x07", "0x5a"},
       {"request.2", "request.1", "request.3", "response.3", "response.1", "response.5", "indication.13", "command.5"},
       "h245Address"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.word);
    WireRecording wire;
    PlaceCall(c.tunnelledWithFastStart, c.tunnelledWithFastStart);
    const std::string pcap =
        (std::filesystem::temp_directory_path() / ("vantro-call-" + std::to_string(::getpid()) + ".pcap")).string();
    // A packet that leaves after the file is written is not in it: count what the file holds.
    bool written = false;
    std::size_t packets = 0;
    wire.recorder.Write([&] {
      written = wire.pcap.Write(pcap);
      packets = wire.pcap.Size();
    });
    ASSERT_TRUE(written);
    const Dissection d = Dissect(tshark, pcap);
    EXPECT_EQ(d.frames, packets);
    EXPECT_EQ(d.undecoded, 0u);
    EXPECT_EQ(d.malformed, 0u);
    for (const char* type : c.q931Types) EXPECT_TRUE(d.q931Types.count(type)) << type;
    for (const char* h245 : c.h245) EXPECT_TRUE(d.h245.count(h245)) << h245;
    EXPECT_EQ(d.verbose.find("Malformed"), std::string::npos);
    EXPECT_NE(d.verbose.find(c.word), std::string::npos);
    if (!::testing::Test::HasFailure()) std::filesystem::remove(pcap);
  }
}

}  // namespace
}  // namespace vantro::test
