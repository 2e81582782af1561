#include "tools/call/CallRunner.h"

#include "runtime/PTrace.h"
#include "stack/h225/H225Message.h"
#include "tools/call/CallEndPoint.h"
#include "tools/call/EventPrinter.h"
#include "tools/call/SignalWatcher.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace vantro::tool {

namespace {

using endpoint::H323CallEndReasons;
using Step = endpoint::H323ConnectionHost::CallEvent;

// How long the stack gets to end a call once it was asked to.
constexpr std::chrono::seconds kClearingLimit{10};
// How long keys wait after the connect for an H.245 connection that is not up yet.
constexpr std::chrono::seconds kH245Wait{3};

std::chrono::milliseconds Ms(double seconds) {
  return std::chrono::milliseconds(static_cast<long long>(seconds * 1000.0 + 0.5));
}

std::unique_ptr<endpoint::H323Capability> MakeCapability(CallOptions::Codec codec) {
  switch (codec) {
    case CallOptions::Codec::G729A: return std::make_unique<endpoint::H323_G729ACapability>();
    case CallOptions::Codec::G7231: return std::make_unique<endpoint::H323_G7231Capability>(true);
    case CallOptions::Codec::G711u:
      return std::make_unique<endpoint::H323_G711Capability>(endpoint::H323_G711Capability::muLaw);
    case CallOptions::Codec::G711a:
      return std::make_unique<endpoint::H323_G711Capability>(endpoint::H323_G711Capability::ALaw);
  }
  return nullptr;
}

// The event name and text of a step of a call.
std::pair<const char*, std::string> Describe(Step step, const std::string& detail) {
  switch (step) {
    case Step::AdmissionRequested:
      return {"admission", "asked for " + (detail.empty() ? std::string("the call") : detail)};
    case Step::Admitted: return {"admitted", detail};
    case Step::SetupSent: return {"setup-sent", "to " + detail};
    case Step::SetupReceived: return {"setup-received", "from " + detail};
    case Step::Proceeding: return {"proceeding", detail};
    case Step::Alerting: return {"alerting", detail};
    case Step::Progress: return {"progress", detail};
    case Step::FastStartAccepted: return {"fast-start", "accepted" + (detail.empty() ? "" : ": " + detail)};
    case Step::FastStartRefused: return {"fast-start", "refused" + (detail.empty() ? "" : ": " + detail)};
    case Step::H245Connected: return {"h245", detail};
    case Step::MediaStarted: return {"media-started", detail};
    case Step::Connected: return {"connected", detail};
    case Step::Clearing: return {"clearing", detail};
    case Step::Cleared: return {"cleared", detail};
  }
  return {"step", detail};
}

std::string RegistrationFailure(unsigned reason) {
  using G = ras::H323Gatekeeper;
  switch (reason) {
    case G::SecurityDenied: return "security denied (a wrong or missing password)";
    case G::DuplicateAlias: return "the alias is registered already";
    case G::InvalidListener: return "no call signalling address to register";
    case G::TransportError: return "the gatekeeper did not answer the registration";
    case G::UnregisteredByGatekeeper: return "unregistered by the gatekeeper";
    default: break;
  }
  if (reason & G::RegistrationRejectReasonMask)
    return "rejected, reason " + std::to_string(reason & ~unsigned(G::RegistrationRejectReasonMask));
  return "not registered (" + std::to_string(reason) + ")";
}

}  // namespace

CallRunner::CallRunner(const CallOptions& options, EventPrinter& printer) : options_(options), printer_(printer) {}

CallRunner::~CallRunner() {
  {
    std::lock_guard lock(endpointMutex_);
    endpoint_.reset();
  }
  watcher_.reset();
}

ExitCode CallRunner::Run() {
  watcher_ = std::make_unique<SignalWatcher>([this](const char* name) {
    ToolEvent e;
    e.kind = ToolEvent::Kind::Signal;
    e.detail = name;
    queue_.Push(std::move(e));
    // A registration under way ends at once.
    if (registering_) {
      std::lock_guard lock(endpointMutex_);
      if (endpoint_) endpoint_->RemoveGatekeeper();
    }
  });
  if (options_.traceLevel) PTrace::SetLevel(*options_.traceLevel);

  ExitCode code = ExitCode::Ok;
  std::string error, note;
  if (!audio_.Prepare(options_, error, note)) {
    printer_.Error(error);
    code = ExitCode::Usage;
  } else {
    if (!note.empty()) printer_.Print("note", note, JsonWriter().Add("message", note));
    if (!SetUpEndPoint()) {
      code = ExitCode::Usage;
    } else if (auto failed = options_.gatekeeper.empty() ? std::nullopt : Register()) {
      code = *failed;
    } else {
      code = options_.mode == CallOptions::Mode::Call ? PlaceCall() : AnswerCalls();
    }
  }
  if (registered_) printer_.Print("unregistering", "from " + options_.gatekeeper);
  if (endpoint_) endpoint_->Shutdown();
  printer_.Print("exit", std::to_string(static_cast<int>(code)) + ": " + ExitCodeMeaning(code),
                 JsonWriter().Add("code", static_cast<int>(code)).Add("meaning", ExitCodeMeaning(code)));
  return code;
}

bool CallRunner::SetUpEndPoint() {
  const auto answering = options_.mode != CallOptions::Mode::Answer ? CallEndPoint::Answering::Refuse
                         : options_.answerDelaySeconds > 0          ? CallEndPoint::Answering::AfterRinging
                                                                    : CallEndPoint::Answering::AtOnce;
  {
    std::lock_guard lock(endpointMutex_);
    endpoint_ = std::make_unique<CallEndPoint>(queue_, answering);
  }
  CallEndPoint& ep = *endpoint_;
  ep.SetLocalUserName(options_.user);
  ep.SetGatekeeperPassword(options_.password);
  ep.RemoveAllCapabilities();
  for (const auto codec : options_.EffectiveCodecs()) ep.SetCapability(0, 0, MakeCapability(codec));
  ep.DisableFastStart(options_.noFastStart);
  ep.DisableH245Tunneling(options_.noTunnel);
  ep.SetAudioDevices(audio_.Devices());
  if (options_.rtpPortBase) ep.SetRtpPortRange(options_.rtpPortBase, options_.rtpPortMax);
  // Without a gatekeeper nobody admits incoming calls: answering, take them unadmitted.
  ep.SetAcceptUnadmittedCalls(options_.mode == CallOptions::Mode::Answer && options_.gatekeeper.empty());
  ep.SetMaxCalls(1);
  if (options_.timeoutSeconds) {
    // The stack's own limit on ringing must not come before the one asked for.
    auto timings = ep.GetCallTimings();
    timings.ringingTimeout = std::max(timings.ringingTimeout, Ms(*options_.timeoutSeconds) + std::chrono::seconds(5));
    ep.SetCallTimings(timings);
    // An unanswered discovery (three tries) ends within the timeout.
    ras::RasTimings ras;
    const auto each = std::clamp(Ms(*options_.timeoutSeconds / ras.discoveryTries), std::chrono::milliseconds(200),
                                 ras.discoveryTimeout);
    ras.discoveryTimeout = each;
    ras.requestTimeout = std::min(ras.requestTimeout, each);
    ep.SetRasTimings(ras);
  }
  const std::string listen = options_.ListenInterface();
  if (!ep.StartListeners({listen})) {
    printer_.Error("cannot listen for calls on " + listen +
                   " (in use, or not an address of this machine; see --listen)");
    return false;
  }
  if (const auto at = ep.GetListenerAddress()) {
    const std::string text = h225::AddressText(*at);
    printer_.Print("listening", "for call signalling on " + text,
                   JsonWriter().Add("address", text).Add("port", unsigned(at->port)));
  }
  return true;
}

std::optional<ExitCode> CallRunner::Register() {
  printer_.Print("registering", "with " + options_.gatekeeper + " as " + options_.user,
                 JsonWriter().Add("gatekeeper", options_.gatekeeper).Add("alias", options_.user));
  const auto start = Clock::now();
  registering_ = true;
  const bool ok = endpoint_->UseGatekeeper(options_.gatekeeper);
  registering_ = false;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  const auto gatekeeper = endpoint_->GetGatekeeper();
  if (ok && gatekeeper) {
    registered_ = true;
    const std::string id = gatekeeper->GetIdentifier(), endpointId = gatekeeper->GetEndpointIdentifier();
    printer_.Print(
        "registered",
        "with " + (id.empty() ? options_.gatekeeper : id) + " as " + options_.user + ", endpoint id " + endpointId +
            ", in " + std::to_string(ms) + " ms",
        JsonWriter().Add("gatekeeperId", id).Add("endpointId", endpointId).Add("ms", static_cast<std::int64_t>(ms)));
    return std::nullopt;
  }
  if (endpoint_->WasLastRegistrationCancelled()) {
    printer_.Print("interrupted", "while registering");
    return ExitCode::Interrupted;
  }
  if (!gatekeeper || gatekeeper->GetRegistrationFailReason() == ras::H323Gatekeeper::TransportError) {
    const std::string why = gatekeeper ? RegistrationFailure(ras::H323Gatekeeper::TransportError)
                                       : "no gatekeeper answered at " + options_.gatekeeper;
    printer_.Print("registration-failed", why, JsonWriter().Add("reason", why));
    return ExitCode::NoGatekeeper;
  }
  const std::string why = RegistrationFailure(gatekeeper->GetRegistrationFailReason());
  printer_.Print("registration-failed", why, JsonWriter().Add("reason", why));
  return ExitCode::RegistrationRejected;
}

ExitCode CallRunner::PlaceCall() {
  Current call(CallRecord(1, true, options_.party, Clock::now()), "");
  printer_.Print("calling", options_.party, JsonWriter().Add("call", 1).Add("party", options_.party));
  if (!endpoint_->MakeCall(options_.party, call.token)) {
    printer_.Error("the endpoint is shut down");
    return ExitCode::CallFailed;
  }
  if (options_.timeoutSeconds) call.timeoutAt = Clock::now() + Ms(*options_.timeoutSeconds);
  while (!call.record.Ended() && !(call.giveUpAt && Clock::now() >= *call.giveUpAt)) {
    auto other = Wait(&call, std::nullopt);
    if (other && other->kind == ToolEvent::Kind::Incoming)
      printer_.Print("refused", "a call from " + other->remoteAddress + ": calling, not answering",
                     JsonWriter().Add("from", other->remoteAddress));
  }
  return FinishCall(call);
}

ExitCode CallRunner::AnswerCalls() {
  printer_.Print("waiting",
                 "for calls" + (options_.maxCalls ? " (" + std::to_string(options_.maxCalls) + ")" : std::string()));
  ExitCode overall = ExitCode::Ok;
  unsigned calls = 0;
  std::optional<Current> call;
  std::set<std::string> finished;  // their late events are not new calls
  auto idleSince = Clock::now();
  for (;;) {
    std::optional<Clock::time_point> idleUntil;
    if (!call) {
      if (interrupted_ || (options_.maxCalls && calls >= options_.maxCalls)) break;
      if (options_.timeoutSeconds) idleUntil = idleSince + Ms(*options_.timeoutSeconds);
      if (idleUntil && Clock::now() >= *idleUntil) {
        printer_.Print("timeout",
                       "no call came in " + std::to_string(static_cast<long long>(*options_.timeoutSeconds)) + " s");
        if (calls == 0) overall = ExitCode::NoCall;
        break;
      }
    }
    auto other = Wait(call ? &*call : nullptr, idleUntil);
    if (other && !call && !finished.count(other->token)) {
      call.emplace(CallRecord(++calls, false, "", other->at), other->token);
      OnCallEvent(*call, *other);
    }
    if (call && (call->record.Ended() || (call->giveUpAt && Clock::now() >= *call->giveUpAt))) {
      const ExitCode code = FinishCall(*call);
      if (overall == ExitCode::Ok) overall = code;
      finished.insert(call->token);
      call.reset();
      idleSince = Clock::now();
    }
  }
  return overall;
}

std::optional<ToolEvent> CallRunner::Wait(Current* call, std::optional<Clock::time_point> until) {
  auto deadline = until.value_or(Clock::now() + std::chrono::hours(1));
  if (call)
    for (const auto& at : {call->timeoutAt, call->answerAt, call->endAt, call->keyAt, call->giveUpAt})
      if (at) deadline = std::min(deadline, *at);
  auto event = queue_.Pop(deadline);
  if (!event) {
    if (call) OnDeadlines(*call);
    return std::nullopt;
  }
  if (event->kind == ToolEvent::Kind::Signal) {
    OnSignal(call, *event);
    return std::nullopt;
  }
  if (call && event->token == call->token) {
    OnCallEvent(*call, *event);
    return std::nullopt;
  }
  return event;
}

void CallRunner::OnCallEvent(Current& call, const ToolEvent& event) {
  call.record.Apply(event);
  PrintEvent(event, call.record.Number());
  const auto now = Clock::now();
  if (event.kind == ToolEvent::Kind::Incoming && options_.answerDelaySeconds > 0 && !call.giveUpAt) {
    call.answerAt = now + Ms(options_.answerDelaySeconds);
  }
  if (event.kind == ToolEvent::Kind::Step && event.step == Step::Connected && !call.giveUpAt) {
    call.timeoutAt.reset();
    call.answerAt.reset();
    if (options_.durationSeconds) call.endAt = now + Ms(*options_.durationSeconds);
    // Keys travel in H.245: when it runs on a connection of its own that is not up yet, they wait
    // for it (a while at most).
    if (!options_.dtmf.empty())
      call.keyAt =
          now + (call.record.TimeOf(Step::H245Connected) ? std::chrono::milliseconds(options_.dtmfGapMs) : kH245Wait);
  }
  if (event.kind == ToolEvent::Kind::Step && event.step == Step::H245Connected && call.keyAt && call.nextKey == 0 &&
      call.record.TimeOf(Step::Connected))
    call.keyAt = now + std::chrono::milliseconds(options_.dtmfGapMs);
}

void CallRunner::OnDeadlines(Current& call) {
  const auto now = Clock::now();
  const auto due = [&](std::optional<Clock::time_point>& at) {
    if (!at || now < *at) return false;
    at.reset();
    return true;
  };
  if (due(call.timeoutAt)) {
    // As the stack's own timers tell it: a far end that rang or proceeds did not answer; one that
    // never got the Setup, or never said a word to it, could not be reached.
    const auto& r = call.record;
    const bool heard = r.TimeOf(Step::Proceeding) || r.TimeOf(Step::Alerting) || r.TimeOf(Step::Progress);
    const auto reason = heard                       ? H323CallEndReasons::EndedByNoAnswer
                        : r.TimeOf(Step::SetupSent) ? H323CallEndReasons::EndedByTransportFail
                                                    : H323CallEndReasons::EndedByConnectFail;
    const std::string seconds = std::to_string(static_cast<long long>(*options_.timeoutSeconds));
    printer_.Print("timeout", heard ? "not answered after " + seconds + " s"
                                    : "the far end did not answer the call in " + seconds + " s");
    Clear(call, reason);
  }
  if (due(call.answerAt)) {
    if (auto connection = endpoint_->FindConnectionWithLock(call.token)) {
      char text[64];
      std::snprintf(text, sizeof text, "after ringing %.1f s", options_.answerDelaySeconds);
      printer_.Print("answering", text);
      connection->AnsweringCall(endpoint::H323ConnectionHost::AnswerCallNow);
    }
  }
  if (due(call.keyAt) && call.nextKey < options_.dtmf.size()) {
    const char key = options_.dtmf[call.nextKey++];
    if (auto connection = endpoint_->FindConnectionWithLock(call.token)) {
      connection->SendUserInput(std::string(1, key));
      call.record.KeySent(key);
      printer_.Print("dtmf-sent", std::string(1, key),
                     JsonWriter().Add("call", call.record.Number()).Add("key", std::string(1, key)));
    }
    if (call.nextKey < options_.dtmf.size()) call.keyAt = now + std::chrono::milliseconds(options_.dtmfGapMs);
  }
  if (due(call.endAt)) {
    printer_.Print("duration", "reached; hanging up");
    Clear(call, H323CallEndReasons::EndedByLocalUser);
  }
}

void CallRunner::Clear(Current& call, H323CallEndReasons::CallEndReason reason) {
  call.timeoutAt.reset();
  call.answerAt.reset();
  call.endAt.reset();
  call.keyAt.reset();
  if (!call.giveUpAt) call.giveUpAt = Clock::now() + kClearingLimit;
  endpoint_->ClearCall(call.token, reason);
}

void CallRunner::OnSignal(Current* call, const ToolEvent& event) {
  ++signals_;
  interrupted_ = true;
  printer_.Print("interrupted", event.detail + (call && signals_ == 1 ? ": clearing the call" : ""),
                 JsonWriter().Add("signal", event.detail));
  if (!call) return;
  if (signals_ == 1)
    Clear(*call, H323CallEndReasons::EndedByLocalUser);
  else
    call->giveUpAt = Clock::now();  // a second one: stop waiting for the call to end
}

ExitCode CallRunner::FinishCall(Current& call) {
  const CallAudio::Heard heard = audio_.FinishCall(call.record.Number());
  if (!heard.error.empty()) printer_.Error(heard.error);
  ExitCode result = call.record.Result(options_.requireAudio, interrupted_);
  if (!call.record.Ended()) {
    if (signals_ < 2) printer_.Error("the call did not end in time after it was cleared");
    if (result == ExitCode::Ok) result = ExitCode::CallFailed;
  }
  call.record.PrintSummary(printer_, heard, result);
  return result;
}

void CallRunner::PrintEvent(const ToolEvent& event, unsigned callNumber) {
  JsonWriter fields;
  fields.Add("call", callNumber);
  switch (event.kind) {
    case ToolEvent::Kind::Step: {
      const auto [name, text] = Describe(event.step, event.detail);
      if (!event.detail.empty()) fields.Add("detail", event.detail);
      printer_.Print(name, text, fields);
      break;
    }
    case ToolEvent::Kind::Incoming: {
      const std::string who = event.remoteName.empty() ? event.remoteNumber : event.remoteName;
      fields.Add("name", event.remoteName).Add("number", event.remoteNumber).Add("address", event.remoteAddress);
      printer_.Print("incoming",
                     (who.empty() ? std::string("a call") : who) + " at " + event.remoteAddress +
                         (options_.answerDelaySeconds > 0 ? ", ringing" : ", answering"),
                     fields);
      break;
    }
    case ToolEvent::Kind::UserInput:
      fields.Add("keys", event.detail);
      printer_.Print("dtmf-received", event.detail, fields);
      break;
    case ToolEvent::Kind::Cleared: {
      const std::string reason = H323CallEndReasons::CallEndReasonName(event.endReason);
      fields.Add("reason", reason).Add("established", event.established);
      if (event.q931Cause) fields.Add("q931Cause", *event.q931Cause);
      printer_.Print("cleared", reason + (event.q931Cause ? ", Q.931 cause " + std::to_string(*event.q931Cause) : ""),
                     fields);
      break;
    }
    case ToolEvent::Kind::ChannelClosed:
    case ToolEvent::Kind::Signal: break;
  }
}

}  // namespace vantro::tool
