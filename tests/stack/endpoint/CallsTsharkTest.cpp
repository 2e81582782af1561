// tshark, which shares no code with us, reads every message our two endpoints send in whole calls
// (the packets as they went out, put into a capture file with their real addresses and ports):
// Q.931 with H.225.0, H.245 tunnelled in it and H.245 on a connection of its own, each as its
// type, nothing malformed.

#include "stack/h225/TpktChannel.h"
#include "tests/stack/endpoint/TestPhone.h"
#include "tests/support/PcapWriter.h"
#include "tests/support/TestGatekeeper.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>

namespace vantro::test {
namespace {

std::string Run(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
  pclose(p);
  return out;
}

bool HaveTshark() { return std::system("command -v tshark >/dev/null 2>&1") == 0; }

// Every packet the process sends while it lives.
class WireRecording {
 public:
  WireRecording() {
    h225::TpktChannel::SetWireTap(
        [this](const asn::Ipv4Address& from, const asn::Ipv4Address& to, std::span<const std::uint8_t> tpkt) {
          std::lock_guard lock(mutex_);
          pcap_.Add(from, to, tpkt);
        });
  }
  ~WireRecording() { h225::TpktChannel::SetWireTap({}); }
  std::size_t Packets() {
    std::lock_guard lock(mutex_);
    return pcap_.Size();
  }
  std::string Save() {
    const auto path = (std::filesystem::temp_directory_path() /
                       ("vantro-call-" + std::to_string(::getpid()) + "-" + std::to_string(files_++) + ".pcap"))
                          .string();
    std::lock_guard lock(mutex_);
    EXPECT_TRUE(pcap_.Write(path));
    return path;
  }

 private:
  std::mutex mutex_;
  PcapWriter pcap_;
  int files_ = 0;
};

struct Dissection {
  std::set<std::string> q931Types;  // "0x05", ...
  std::set<std::string> h245;       // "request.2", "response.3", ...
  std::size_t frames = 0, undecoded = 0, malformed = 0;
  std::string verbose;
};

Dissection Dissect(const std::string& pcap) {
  Dissection d;
  const std::string out = Run("tshark -r " + pcap +
                              " --enable-heuristic q931_tcp -T fields -E separator=/t -E occurrence=a -E aggregator=,"
                              " -e frame.number -e q931.message_type -e h245.pdu_type -e h245.request -e h245.response"
                              " -e h245.command -e h245.indication -e _ws.malformed 2>/dev/null");
  std::istringstream lines(out);
  std::string line;
  const char* kinds[] = {"request", "response", "command", "indication"};
  while (std::getline(lines, line)) {
    std::vector<std::string> f;
    std::istringstream cells(line);
    std::string cell;
    while (std::getline(cells, cell, '\t')) f.push_back(cell);
    f.resize(8);
    ++d.frames;
    if (f[1].empty() && f[2].empty()) ++d.undecoded;
    if (!f[7].empty()) ++d.malformed;
    std::istringstream types(f[1]);
    while (std::getline(types, cell, ',')) d.q931Types.insert(cell);
    std::vector<std::string> pdus;
    std::istringstream p(f[2]);
    while (std::getline(p, cell, ',')) pdus.push_back(cell);
    for (std::size_t i = 0; i < pdus.size(); ++i) {
      const int kind = std::stoi(pdus[i]);
      std::istringstream alts(f[3 + kind]);
      std::vector<std::string> a;
      while (std::getline(alts, cell, ',')) a.push_back(cell);
      for (const auto& alt : a) d.h245.insert(std::string(kinds[kind]) + "." + alt);
    }
  }
  d.verbose = Run("tshark -r " + pcap + " --enable-heuristic q931_tcp -V 2>/dev/null");
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

TEST(CallsOnTheWire, TunnelledH245AndFastStart) {
  if (!HaveTshark()) GTEST_SKIP() << "no tshark";
  WireRecording wire;
  PlaceCall(true, true);
  const std::string pcap = wire.Save();
  const Dissection d = Dissect(pcap);
  EXPECT_EQ(d.frames, wire.Packets());
  EXPECT_EQ(d.undecoded, 0u);
  EXPECT_EQ(d.malformed, 0u);
  for (const char* type : {"0x05", "0x02", "0x07", "0x62", "0x5a"}) EXPECT_TRUE(d.q931Types.count(type)) << type;
  for (const char* h245 : {"request.2", "request.1", "response.3", "response.1", "indication.13", "command.5"})
    EXPECT_TRUE(d.h245.count(h245)) << h245;
  EXPECT_EQ(d.verbose.find("Malformed"), std::string::npos);
  EXPECT_NE(d.verbose.find("fastStart"), std::string::npos);
  if (!::testing::Test::HasFailure()) std::filesystem::remove(pcap);
}

TEST(CallsOnTheWire, H245OnItsOwnConnection) {
  if (!HaveTshark()) GTEST_SKIP() << "no tshark";
  WireRecording wire;
  PlaceCall(false, false);
  const std::string pcap = wire.Save();
  const Dissection d = Dissect(pcap);
  EXPECT_EQ(d.undecoded, 0u);
  EXPECT_EQ(d.malformed, 0u);
  for (const char* type : {"0x05", "0x02", "0x07", "0x5a"}) EXPECT_TRUE(d.q931Types.count(type)) << type;
  // Capabilities, master/slave, channels both ways, keys and the end of the session, on H.245's own
  // connection: tshark found it from the address the signalling announced.
  for (const char* h245 :
       {"request.2", "request.1", "request.3", "response.3", "response.1", "response.5", "indication.13", "command.5"})
    EXPECT_TRUE(d.h245.count(h245)) << h245;
  EXPECT_EQ(d.verbose.find("Malformed"), std::string::npos);
  EXPECT_NE(d.verbose.find("h245Address"), std::string::npos);
  if (!::testing::Test::HasFailure()) std::filesystem::remove(pcap);
}

}  // namespace
}  // namespace vantro::test
