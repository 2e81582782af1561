#pragma once
// An endpoint of ours as a phone in end-to-end tests: a tone for its microphone, a recording for its
// loudspeaker, every callback recorded for the test's thread, short timers.

#include "stack/endpoint/H323EndPoint.h"
#include "tests/support/Recorder.h"
#include "tests/support/RecordingAudioSink.h"
#include "tests/support/SignalAudioSource.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace vantro::test {

using namespace std::chrono_literals;
using endpoint::H323Connection;
using endpoint::H323EndPoint;

class TestPhone : public H323EndPoint {
 public:
  struct Cleared {
    std::string token;
    H323Connection::CallEndReason reason;
    std::optional<unsigned> cause;
    bool established;
  };
  struct Step {
    std::string token;
    CallEvent event;
    std::string detail;
  };

  // tone: the frequency its microphone hears (Hz). rtpBase: the first port of its RTP range.
  TestPhone(const std::string& alias, double tone, std::uint16_t rtpBase);
  ~TestPhone() override;

  // Listens on 127.0.0.1 and registers; false when the gatekeeper did not confirm.
  bool Register(const std::string& gatekeeper);
  // Answers calls later instead of at once: they ring until Answer(token).
  void SetAnswerLater(bool later) { answerLater_ = later; }
  void Answer(const std::string& token);
  // Only these formats in the table, in this order.
  void UseCodecs(const std::vector<std::string>& names);

  // What happened, as the callbacks told it.
  std::vector<Cleared> ClearedCalls() const { return recorder_.Read(cleared_); }
  std::vector<Step> Steps() const { return recorder_.Read(steps_); }
  bool HasStep(const std::string& token, CallEvent event) const;
  std::vector<std::string> Established() const { return recorder_.Read(established_); }  // tokens
  std::vector<std::string> Incoming() const { return recorder_.Read(incoming_); }  // calls that came to this phone
  std::vector<std::string> UserInput() const { return recorder_.Read(input_); }
  int Alerts() const { return recorder_.Read(alerts_); }
  bool WaitFor(const std::function<bool()>& pred, std::chrono::milliseconds limit = 10s) const {
    return recorder_.WaitFor(pred, limit);
  }
  bool WaitCleared(std::size_t calls = 1, std::chrono::milliseconds limit = 10s) const {
    return WaitFor([&] { return ClearedCalls().size() >= calls; }, limit);
  }

  // How loud the far end's tone is on the loudspeaker in the last ms.
  double ToneHeard(double frequency, std::chrono::milliseconds last = 400ms) const;
  // The formats of the call's channels (transmit, receive), read under the call's lock.
  std::pair<std::string, std::string> Formats(const std::string& token);

  // Callbacks
  bool OnAlerting(H323Connection& connection, const q931::Q931Message& alertingPDU, const std::string& user) override;
  void OnConnectionEstablished(H323Connection& connection, const std::string& token) override;
  void OnConnectionCleared(H323Connection& connection, const std::string& token) override;
  AnswerCallResponse OnAnswerCall(H323Connection& connection, const std::string& caller,
                                  const q931::Q931Message& setupPDU) override;
  void OnUserInputString(H323Connection& connection, const std::string& value) override;
  void OnCallEvent(H323Connection& connection, CallEvent event, const std::string& detail) override;

 private:
  std::shared_ptr<SignalAudioSource> mouth_;
  std::shared_ptr<RecordingAudioSink> ear_;
  std::atomic<bool> answerLater_{false};

  Recorder recorder_;  // guards what follows
  std::vector<Cleared> cleared_;
  std::vector<Step> steps_;
  std::vector<std::string> established_;
  std::vector<std::string> incoming_;
  std::vector<std::string> input_;
  int alerts_ = 0;
};

// RAS and call timers short enough for tests, long enough for a loaded machine.
endpoint::CallTimings TestCallTimings();

}  // namespace vantro::test
