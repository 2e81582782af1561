// By hand, against real H.323 peers (not part of the test command): registers an endpoint of ours
// with a gatekeeper, then places a call or waits for one, sends keys, plays a tone, records what it
// hears (WAV), and prints every step of the call with the time it came.
//
//   manual_peers_call --gk 127.0.0.1 --alias 5550100 [--password PW] [--listen 1737]
//                     [--call 5550200@ | --answer] [--seconds 5] [--dtmf 123#] [--tone 1000]
//                     [--record heard.wav] [--codecs g711,g729,g723] [--no-faststart] [--no-tunnel]
//                     [--rtp 6000] [--unadmitted]
// Exit status 0 when a call was established and ended, 1 otherwise.

#include "runtime/PTrace.h"
#include "runtime/PWAVFile.h"
#include "stack/endpoint/H323EndPoint.h"
#include "tests/support/RecordingAudioSink.h"
#include "tests/support/SharedAudio.h"
#include "tests/support/SignalAudioSource.h"
#include "tests/support/SoundTestSupport.h"

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>

using namespace vantro;
using namespace std::chrono_literals;
using endpoint::H323Connection;

namespace {

class Phone : public endpoint::H323EndPoint {
 public:
  ~Phone() override { Shutdown(); }
  void OnCallEvent(H323Connection& connection, CallEvent event, const std::string& detail) override {
    Print(connection.GetCallToken() + " " + CallEventName(event) + (detail.empty() ? "" : " (" + detail + ")"));
  }
  void OnConnectionEstablished(H323Connection&, const std::string& token) override {
    std::lock_guard lock(mutex);
    this->token = token;
    established = true;
    changed.notify_all();
  }
  void OnConnectionCleared(H323Connection& connection, const std::string& token) override {
    Print(token + " cleared: " + H323Connection::CallEndReasonName(connection.GetCallEndReason()) +
          (connection.GetQ931Cause() ? ", cause " + std::to_string(*connection.GetQ931Cause()) : ""));
    std::lock_guard lock(mutex);
    cleared = true;
    changed.notify_all();
  }
  void OnUserInputString(H323Connection&, const std::string& value) override { Print("user input \"" + value + "\""); }
  AnswerCallResponse OnAnswerCall(H323Connection& connection, const std::string& caller, const q931::Q931Message&) override {
    Print("incoming call from " + caller + " at " + connection.GetRemotePartyAddress());
    std::lock_guard lock(mutex);
    token = connection.GetCallToken();
    return AnswerCallNow;
  }
  static void Print(const std::string& line) {
    static const auto start = std::chrono::steady_clock::now();
    std::printf("%8.1f ms  %s\n", std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(),
                line.c_str());
    std::fflush(stdout);
  }

  std::mutex mutex;
  std::condition_variable changed;
  std::string token;
  bool established = false;
  bool cleared = false;
};

}  // namespace

int main(int argc, char** argv) {
  std::map<std::string, std::string> o = {{"--gk", "127.0.0.1"}, {"--alias", "5550100"}, {"--listen", "1737"},
                                          {"--seconds", "5"},     {"--tone", "1000"},     {"--codecs", "g711,g729,g723"},
                                          {"--rtp", "6000"}};
  for (int i = 1; i < argc; ++i) {
    std::string key = argv[i];
    const bool flag = key == "--answer" || key == "--no-faststart" || key == "--no-tunnel" || key == "--unadmitted";
    o[key] = flag || i + 1 >= argc ? "1" : argv[++i];
  }
  if (!std::getenv("VANTRO_TRACE")) PTrace::SetLevel(3);

  Phone phone;
  phone.SetLocalUserName(o["--alias"]);
  if (o.count("--password")) phone.SetGatekeeperPassword(o["--password"]);
  const auto rtp = static_cast<std::uint16_t>(std::stoi(o["--rtp"]));
  phone.SetRtpPortRange(rtp, static_cast<std::uint16_t>(rtp + 999));
  phone.DisableFastStart(o.count("--no-faststart"));
  phone.DisableH245Tunneling(o.count("--no-tunnel"));
  phone.SetAcceptUnadmittedCalls(o.count("--unadmitted"));
  std::stringstream codecs(o["--codecs"]);
  for (std::string c; std::getline(codecs, c, ',');) {
    if (c == "g711") phone.SetCapability(0, endpoint::kNewCapabilitySet, std::make_unique<endpoint::H323_G711Capability>());
    if (c == "g729") phone.SetCapability(0, endpoint::kNewCapabilitySet, std::make_unique<endpoint::H323_G729ACapability>());
    if (c == "g723") phone.SetCapability(0, endpoint::kNewCapabilitySet, std::make_unique<endpoint::H323_G7231Capability>(true));
  }
  auto mouth = std::make_shared<test::SignalAudioSource>(test::SignalAudioSource::Tone(std::stod(o["--tone"]), 0.3));
  auto ear = std::make_shared<test::RecordingAudioSink>();
  endpoint::AudioDevices devices;
  devices.openSource = [mouth](const std::string&) { return std::make_unique<test::SharedAudioSource<test::SignalAudioSource>>(mouth); };
  devices.openSink = [ear](const std::string&) { return std::make_unique<test::SharedAudioSink<test::RecordingAudioSink>>(ear); };
  phone.SetAudioDevices(devices);

  if (!phone.StartListeners({"*:" + o["--listen"]})) {
    Phone::Print("cannot listen on " + o["--listen"]);
    return 1;
  }
  const bool registered = phone.UseGatekeeper(o["--gk"]);
  Phone::Print(registered ? "registered" : "NOT registered");
  if (!registered && !o.count("--unadmitted")) return 1;

  if (o.count("--call")) {
    std::string token;
    phone.MakeCall(o["--call"], token);
    Phone::Print("calling " + o["--call"] + " as " + token);
  } else {
    Phone::Print("waiting for a call");
  }
  std::unique_lock lock(phone.mutex);
  if (!phone.changed.wait_for(lock, 60s, [&] { return phone.established || phone.cleared; }) || !phone.established) return 1;
  const std::string token = phone.token;
  lock.unlock();
  std::this_thread::sleep_for(1s);
  for (char key : o["--dtmf"]) {
    if (auto call = phone.FindConnectionWithLock(token)) call->SendUserInput(std::string(1, key));
    std::this_thread::sleep_for(300ms);
  }
  std::this_thread::sleep_for(std::chrono::seconds(std::stoi(o["--seconds"])));
  if (o.count("--call")) phone.ClearCall(token);
  lock.lock();
  phone.changed.wait_for(lock, 30s, [&] { return phone.cleared; });
  lock.unlock();

  const auto heard = ear->Samples();
  for (double f : {440.0, 1000.0})
    Phone::Print("heard " + std::to_string(static_cast<int>(f)) + " Hz at amplitude " +
                 std::to_string(ToneAmplitude(heard, f)) + " over " + std::to_string(heard.size() / 8) + " ms");
  if (o.count("--record")) PWAVFile::Write(o["--record"], PSound(1, 8000, heard));
  return phone.cleared ? 0 : 1;
}
