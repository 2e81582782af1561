#include "stack/h225/H323Connection.h"

#include "runtime/PTrace.h"
#include "stack/asn/generated/H225.h"
#include "stack/h225/CallMedia.h"
#include "stack/h225/TpktChannel.h"

#include <atomic>
#include <random>

namespace vantro::endpoint {

using h225::H225Message;

namespace {

std::string NewToken(unsigned callReference) {
  static std::atomic<unsigned> next{1};
  return "call" + std::to_string(next++) + "/" + std::to_string(callReference);
}

// 16 random octets: a call identifier or conference identifier (a GUID in all but form).
std::string NewGuid() {
  static std::mutex mutex;
  static std::mt19937_64 generator{std::random_device{}()};
  std::lock_guard lock(mutex);
  std::string id(16, '\0');
  for (std::size_t i = 0; i < id.size(); i += 8) {
    const std::uint64_t r = generator();
    for (std::size_t j = 0; j < 8; ++j) id[i + j] = static_cast<char>(r >> (8 * j));
  }
  id[6] = static_cast<char>((id[6] & 0x0f) | 0x40);  // version 4 (random)
  id[8] = static_cast<char>((id[8] & 0x3f) | 0x80);
  return id;
}

}  // namespace

const char* H323ConnectionHost::CallEventName(CallEvent event) {
  switch (event) {
    case CallEvent::AdmissionRequested: return "AdmissionRequested";
    case CallEvent::Admitted: return "Admitted";
    case CallEvent::SetupSent: return "SetupSent";
    case CallEvent::SetupReceived: return "SetupReceived";
    case CallEvent::Proceeding: return "Proceeding";
    case CallEvent::Alerting: return "Alerting";
    case CallEvent::Progress: return "Progress";
    case CallEvent::FastStartAccepted: return "FastStartAccepted";
    case CallEvent::FastStartRefused: return "FastStartRefused";
    case CallEvent::H245Connected: return "H245Connected";
    case CallEvent::MediaStarted: return "MediaStarted";
    case CallEvent::Connected: return "Connected";
    case CallEvent::Clearing: return "Clearing";
    case CallEvent::Cleared: return "Cleared";
  }
  return "?";
}

H323Connection::H323Connection(H323ConnectionHost& host, unsigned callReference)
    : host_(host),
      callReference_(callReference & 0x7fff),
      token_(NewToken(callReference_)),
      strand_(asio::make_strand(host.GetIoContext())),
      callIdentifier_(NewGuid()),
      conferenceID_(NewGuid()),
      phaseTimer_(strand_),
      statusTimer_(strand_),
      resolver_(strand_) {}

H323Connection::~H323Connection() = default;

// --- running on the strand ---

void H323Connection::Guarded(const char* where, const std::function<void()>& fn) {
  std::lock_guard lock(mutex_);
  try {
    fn();
  } catch (const std::exception& e) {
    PTRACE(1, "H225", token_ << ": " << where << ": " << e.what() << "; clearing the call");
    try {
      Release(EndedByTransportFail);
    } catch (const std::exception& again) {
      PTRACE(1, "H225", token_ << ": clearing failed too: " << again.what());
    }
  }
}

void H323Connection::Post(const char* where, std::function<void()> fn) {
  asio::post(strand_, [self = shared_from_this(), where, fn = std::move(fn)] { self->Guarded(where, fn); });
}

// --- the call API ---

bool H323Connection::IsOriginating() const {
  std::lock_guard lock(mutex_);
  return originating_;
}

bool H323Connection::IsEstablished() const {
  std::lock_guard lock(mutex_);
  return phase_ == Phase::Established;
}

std::optional<std::chrono::system_clock::time_point> H323Connection::GetConnectionStartTime() const {
  std::lock_guard lock(mutex_);
  return startTime_;
}

H323Connection::CallEndReason H323Connection::GetCallEndReason() const {
  std::lock_guard lock(mutex_);
  return endReason_;
}

std::optional<unsigned> H323Connection::GetQ931Cause() const {
  std::lock_guard lock(mutex_);
  return q931Cause_;
}

std::string H323Connection::GetRemotePartyName() const {
  std::lock_guard lock(mutex_);
  return remoteName_;
}

std::string H323Connection::GetRemotePartyNumber() const {
  std::lock_guard lock(mutex_);
  return remoteNumber_;
}

std::string H323Connection::GetRemotePartyAddress() const {
  std::lock_guard lock(mutex_);
  return remoteAddress_;
}

H323Channel* H323Connection::FindChannel(unsigned sessionID, bool fromRemote) const {
  std::lock_guard lock(mutex_);
  return media_ ? media_->FindChannel(sessionID, fromRemote) : nullptr;
}

void H323Connection::ClearCall(CallEndReason reason) {
  Post("ClearCall", [this, reason] { Release(reason); });
}

void H323Connection::SendUserInput(const std::string& value) {
  Post("SendUserInput", [this, value] {
    if (phase_ == Phase::Released) return;
    if (!h245_ && tunnelling_ && tunnellingDecided_ && builder_) StartH245();
    if (h245_) {
      h245_->SendUserInput(value);
      return;
    }
    PTRACE(2, "H225", token_ << ": user input \"" << value << "\" dropped: no H.245 control yet");
  });
}

ras::H323Gatekeeper::CallInfo H323Connection::GetCallInfo() const {
  std::lock_guard lock(mutex_);
  ras::H323Gatekeeper::CallInfo info = callInfo_;
  info.gatekeeperRouted = gatekeeperRouted_;
  if (q931Cause_) info.releaseCause = static_cast<std::uint8_t>(*q931Cause_);
  if (signal_) {
    info.remoteCallSignalAddress = signal_->RemoteAddress();
    info.localCallSignalAddress = signal_->LocalAddress();
  }
  return info;
}

std::string H323Connection::GetCallIdentifier() const {
  std::lock_guard lock(mutex_);
  return callIdentifier_;
}

bool H323Connection::IsCleared() const {
  std::lock_guard lock(mutex_);
  return phase_ == Phase::Released;
}

bool H323Connection::IsAdmittedCall() const {
  std::lock_guard lock(mutex_);
  return inTable_;
}

void H323Connection::Event(H323ConnectionHost::CallEvent event, const std::string& detail) {
  if (!inTable_) return;
  PTRACE(3, "H225",
         token_ << ": " << H323ConnectionHost::CallEventName(event) << (detail.empty() ? "" : " ") << detail);
  host_.OnCallEvent(*this, event, detail);
}

// --- timers ---

void H323Connection::SetPhase(Phase phase) {
  phase_ = phase;
  ArmPhaseTimer();
}

void H323Connection::ArmPhaseTimer() {
  std::chrono::milliseconds wait{0};
  CallEndReason reason = EndedByNoAnswer;
  switch (phase_) {
    case Phase::AwaitingAnswer:
      wait = settings_.timings.setupAnswerTimeout;
      reason = EndedByTransportFail;
      break;
    case Phase::Proceeding:
    case Phase::Alerting: wait = settings_.timings.ringingTimeout; break;
    default: phaseTimer_.cancel(); return;
  }
  phaseTimer_.expires_after(wait);
  const Phase armed = phase_;
  phaseTimer_.async_wait([weak = weak_from_this(), armed, reason](std::error_code ec) {
    auto self = weak.lock();
    if (ec || !self) return;
    self->Guarded("timer", [&] {
      if (self->phase_ != armed) return;
      PTRACE(2, "H225", self->token_ << ": no answer in time; clearing");
      self->Release(reason);
    });
  });
}

void H323Connection::ArmStatusEnquiry() {
  const auto interval = settings_.timings.statusEnquiryInterval;
  if (interval.count() <= 0 || phase_ != Phase::Established) return;
  awaitingStatus_ = false;
  statusTimer_.expires_after(interval);
  statusTimer_.async_wait([weak = weak_from_this()](std::error_code ec) {
    auto self = weak.lock();
    if (ec || !self) return;
    self->Guarded("status enquiry", [&] {
      if (self->phase_ != Phase::Established || !self->builder_) return;
      H225Message enquiry = self->builder_->StatusEnquiry();
      self->SendSignal(enquiry);
      self->awaitingStatus_ = true;
      self->statusTimer_.expires_after(self->settings_.timings.h245Timeout);
      self->statusTimer_.async_wait([weak = self->weak_from_this()](std::error_code ec) {
        auto self = weak.lock();
        if (ec || !self) return;
        self->Guarded("status answer", [&] {
          if (!self->awaitingStatus_ || self->phase_ != Phase::Established) return;
          PTRACE(2, "H225", self->token_ << ": the far end does not answer a Status Enquiry; clearing");
          self->Release(EndedByTransportFail);
        });
      });
    });
  });
}

// --- the end ---

void H323Connection::Release(CallEndReason reason, bool sendReleaseComplete) {
  if (phase_ == Phase::Released) return;
  const Phase was = phase_;
  phase_ = Phase::Released;
  if (endReason_ == NumCallEndReasons) endReason_ = reason;
  Event(H323ConnectionHost::CallEvent::Clearing, CallEndReasonName(endReason_));
  phaseTimer_.cancel();
  statusTimer_.cancel();
  resolver_.cancel();

  // H.245 first: tunnelled, the EndSessionCommand rides in the Release Complete.
  if (h245_ && h245_->IsStarted()) h245_->SendEndSession();
  const bool setupExchanged = !originating_ || was == Phase::AwaitingAnswer || was == Phase::Proceeding ||
                              was == Phase::Alerting || was == Phase::Established;
  if (sendReleaseComplete && setupExchanged && signal_ && signal_->IsOpen() && builder_) {
    const ReleaseCompleteFields fields = ReleaseCompleteFor(endReason_);
    if (!q931Cause_) q931Cause_ = fields.cause;
    H225Message rc = builder_->ReleaseComplete(fields.reason, fields.cause);
    SendSignal(rc);
  }
  if (h245Transport_) h245Transport_->Shutdown();
  if (signal_) signal_->Shutdown();
  if (admitted_) {
    admitted_ = false;
    host_.Disengage(GetCallInfo(), asn::h225::DisengageReason::normalDrop);
  }
  PTRACE(3, "H225",
         token_ << ": cleared, " << CallEndReasonName(endReason_)
                << (q931Cause_ ? ", cause " + std::to_string(*q931Cause_) : std::string()));
  if (!finishPosted_) {
    finishPosted_ = true;
    asio::post(strand_, [self = shared_from_this()] { self->Finish(); });
  }
}

void H323Connection::Finish() {
  h225::CallMedia::Resources resources;
  std::unique_ptr<h245::H245Control> control;
  std::unique_ptr<h225::H245Transport> transport;
  {
    std::lock_guard lock(mutex_);
    if (ended_) return;
    ended_ = true;
    try {
      if (media_) resources = media_->TakeAll();
    } catch (const std::exception& e) {
      PTRACE(1, "H225", token_ << ": closing the media: " << e.what());
    }
    control = std::move(h245_);
    transport = std::move(h245Transport_);
  }
  // Closing a channel waits for its thread: never under the lock a user thread may want.
  resources.Close();
  control.reset();
  transport.reset();
  auto self = shared_from_this();
  try {
    {
      std::lock_guard lock(mutex_);
      Event(H323ConnectionHost::CallEvent::Cleared, CallEndReasonName(endReason_));
    }
    if (inTable_)
      host_.ConnectionEnded(self);
    else
      host_.WithdrawIncomingConnection(*this);
  } catch (const std::exception& e) {
    PTRACE(1, "H225", token_ << ": reporting the end of the call: " << e.what());
  }
}

void H323Connection::CloseRetiredChannels() {
  asio::post(strand_, [self = shared_from_this()] {
    std::vector<std::unique_ptr<H323Channel>> retired;
    {
      std::lock_guard lock(self->mutex_);
      if (self->media_) retired = self->media_->TakeRetired();
    }
    for (auto& channel : retired) channel->Close();
  });
}

}  // namespace vantro::endpoint
