#pragma once
// What vantro-call does once its options are read: sets up the endpoint (codecs, listener, audio,
// fast start and tunnelling), registers with the gatekeeper, places the call or answers calls,
// reports every step and each call's summary, and ends cleanly: a signal clears the call, and the
// endpoint unregisters before the program exits.
//
// Everything happens on the thread that calls Run; the stack's callbacks and the signal watcher
// only queue events for it.

#include "tools/call/CallAudio.h"
#include "tools/call/CallOptions.h"
#include "tools/call/CallRecord.h"
#include "tools/call/EventQueue.h"
#include "tools/call/ExitCode.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace vantro::tool {

class CallEndPoint;
class EventPrinter;
class SignalWatcher;

class CallRunner {
 public:
  CallRunner(const CallOptions& options, EventPrinter& printer);
  ~CallRunner();
  CallRunner(const CallRunner&) = delete;
  CallRunner& operator=(const CallRunner&) = delete;

  // Runs to the end; the exit code. Must be called before the program starts any other thread
  // (signals are blocked for every thread made afterwards).
  ExitCode Run();

 private:
  using Clock = std::chrono::steady_clock;

  // A call under way and what is due for it.
  struct Current {
    Current(CallRecord r, std::string t) : record(std::move(r)), token(std::move(t)) {}
    CallRecord record;
    std::string token;
    std::optional<Clock::time_point> timeoutAt;  // call: not connected by then
    std::optional<Clock::time_point> answerAt;   // answer: stop ringing and answer
    std::optional<Clock::time_point> endAt;      // --duration
    std::optional<Clock::time_point> keyAt;      // the next DTMF key
    std::optional<Clock::time_point> giveUpAt;   // cleared, and the stack has not said it ended
    std::size_t nextKey = 0;
  };

  bool SetUpEndPoint();
  std::optional<ExitCode> Register();
  ExitCode PlaceCall();
  ExitCode AnswerCalls();

  // Waits for the next event, a deadline of the call (when there is one) or until; handles the
  // call's events, its deadlines and signals, and returns an event of no call of ours.
  std::optional<ToolEvent> Wait(Current* call, std::optional<Clock::time_point> until);
  void OnCallEvent(Current& call, const ToolEvent& event);
  void OnDeadlines(Current& call);
  void Clear(Current& call, endpoint::H323CallEndReasons::CallEndReason reason);
  ExitCode FinishCall(Current& call);
  void OnSignal(Current* call, const ToolEvent& event);
  void PrintEvent(const ToolEvent& event, unsigned callNumber);

  const CallOptions& options_;
  EventPrinter& printer_;
  EventQueue queue_;
  CallAudio audio_;
  std::unique_ptr<SignalWatcher> watcher_;
  std::mutex endpointMutex_;  // the watcher's thread reaches the endpoint while it registers
  std::unique_ptr<CallEndPoint> endpoint_;
  std::atomic<bool> registering_{false};
  bool registered_ = false;
  unsigned signals_ = 0;
  bool interrupted_ = false;
};

}  // namespace vantro::tool
