#include "tests/stack/endpoint/TestPhone.h"

#include "tests/stack/endpoint/RegistrationFixture.h"
#include "tests/stack/h245/H245TestPeer.h"
#include "tests/support/SharedAudio.h"
#include "tests/support/SoundTestSupport.h"

namespace vantro::test {

endpoint::CallTimings TestCallTimings() {
  endpoint::CallTimings t;
  t.connectTimeout = 3s;
  t.setupAnswerTimeout = 5s;
  t.ringingTimeout = 20s;
  t.h245Timeout = 5s;
  t.idleConnectionTimeout = 2s;
  t.statusEnquiryInterval = 0ms;
  return t;
}

TestPhone::TestPhone(const std::string& alias, double tone, std::uint16_t rtpBase)
    : mouth_(std::make_shared<SignalAudioSource>(SignalAudioSource::Tone(tone, 0.3))),
      ear_(std::make_shared<RecordingAudioSink>()) {
  SetLocalUserName(alias);
  SetRasTimings(FastTimings());
  SetRegistrationTimeToLive(30000ms);
  SetCallTimings(TestCallTimings());
  SetRtpPortRange(rtpBase, static_cast<std::uint16_t>(rtpBase + 199));
  UseCodecs({"G.729A", "G.723.1A", "G.711-uLaw-64k"});
  endpoint::AudioDevices devices;
  devices.openSource = [mouth = mouth_](const std::string&) {
    return std::make_unique<SharedAudioSource<SignalAudioSource>>(mouth);
  };
  devices.openSink = [ear = ear_](const std::string&) {
    return std::make_unique<SharedAudioSink<RecordingAudioSink>>(ear);
  };
  SetAudioDevices(devices);
}

TestPhone::~TestPhone() { Shutdown(); }

bool TestPhone::Register(const std::string& gatekeeper) {
  return StartListeners({"127.0.0.1:0"}) && UseGatekeeper(gatekeeper);
}

void TestPhone::Answer(const std::string& token) {
  if (auto call = FindConnectionWithLock(token)) call->AnsweringCall(AnswerCallNow);
}

void TestPhone::UseCodecs(const std::vector<std::string>& names) {
  RemoveAllCapabilities();
  for (const std::string& name : names) SetCapability(0, endpoint::kNewCapabilitySet, CapabilityNamed(name));
}

bool TestPhone::HasStep(const std::string& token, CallEvent event) const {
  for (const auto& s : Steps())
    if (s.token == token && s.event == event) return true;
  return false;
}

double TestPhone::ToneHeard(double frequency, std::chrono::milliseconds last) const {
  const auto samples = ear_->Samples();
  const std::size_t n = std::min<std::size_t>(samples.size(), static_cast<std::size_t>(last.count()) * 8);
  if (n == 0) return 0;
  return ToneAmplitude(std::vector<std::int16_t>(samples.end() - static_cast<std::ptrdiff_t>(n), samples.end()),
                       frequency);
}

std::pair<std::string, std::string> TestPhone::Formats(const std::string& token) {
  std::pair<std::string, std::string> formats;
  auto call = FindConnectionWithLock(token);
  if (!call) return formats;
  if (auto* tx = call->FindChannel(endpoint::kAudioSessionID, false))
    formats.first = tx->GetCapability().GetFormatName();
  if (auto* rx = call->FindChannel(endpoint::kAudioSessionID, true))
    formats.second = rx->GetCapability().GetFormatName();
  return formats;
}

bool TestPhone::OnAlerting(H323Connection&, const q931::Q931Message&, const std::string&) {
  recorder_.Write([&] { ++alerts_; });
  return true;
}

void TestPhone::OnConnectionEstablished(H323Connection&, const std::string& token) {
  recorder_.Write([&] { established_.push_back(token); });
}

void TestPhone::OnConnectionCleared(H323Connection& connection, const std::string& token) {
  Cleared c{token, connection.GetCallEndReason(), connection.GetQ931Cause(),
            connection.GetConnectionStartTime().has_value()};
  recorder_.Write([&] { cleared_.push_back(c); });
}

TestPhone::AnswerCallResponse TestPhone::OnAnswerCall(H323Connection& connection, const std::string&,
                                                      const q931::Q931Message&) {
  recorder_.Write([&] { incoming_.push_back(connection.GetCallToken()); });
  return answerLater_ ? AnswerCallPending : AnswerCallNow;
}

void TestPhone::OnUserInputString(H323Connection&, const std::string& value) {
  recorder_.Write([&] { input_.push_back(value); });
}

void TestPhone::OnCallEvent(H323Connection& connection, CallEvent event, const std::string& detail) {
  Step step{connection.GetCallToken(), event, detail};
  recorder_.Write([&] { steps_.push_back(std::move(step)); });
}

}  // namespace vantro::test
