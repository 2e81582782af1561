// The calls of H323EndPoint: placing them, finding them by token, the table they live in, the
// incoming calls the listeners hand over, and what the gatekeeper hears about them.

#include "runtime/PTrace.h"
#include "stack/asn/generated/H225.h"
#include "stack/endpoint/H323EndPoint.h"
#include "stack/h225/H225MessageBuilder.h"

namespace vantro::endpoint {

namespace h = asn::h225;

// --- settings ---

void H323EndPoint::SetAudioDevices(AudioDevices devices) {
  std::lock_guard lock(mutex_);
  audioDevices_ = std::move(devices);
}

void H323EndPoint::SetRtpPortRange(std::uint16_t base, std::uint16_t max) {
  std::lock_guard lock(mutex_);
  rtpPortBase_ = base;
  rtpPortMax_ = std::max(base, max);
}

void H323EndPoint::SetCallTimings(const CallTimings& timings) {
  std::vector<std::shared_ptr<H323ListenerTCP>> listeners;
  {
    std::lock_guard lock(mutex_);
    callTimings_ = timings;
    listeners = listeners_;
  }
  for (auto& l : listeners) l->SetIdleTimeout(timings.idleConnectionTimeout);
}

CallTimings H323EndPoint::GetCallTimings() const {
  std::lock_guard lock(mutex_);
  return callTimings_;
}

void H323EndPoint::SetAcceptUnadmittedCalls(bool accept) {
  std::lock_guard lock(mutex_);
  acceptUnadmittedCalls_ = accept;
}

void H323EndPoint::SetMaxCalls(unsigned calls) {
  std::lock_guard lock(callsMutex_);
  maxCalls_ = std::max(calls, 1u);
}

MediaOptions H323EndPoint::GetMediaOptions() const {
  std::lock_guard lock(mutex_);
  MediaOptions options;
  options.playDevice = playDevice_;
  options.recordDevice = recordDevice_;
  options.devices = audioDevices_;
  options.typeOfService = rtpTos_;
  options.jitterMinimumMs = jitterMin_;
  options.jitterMaximumMs = jitterMax_;
  options.rtpPortBase = rtpPortBase_;
  options.rtpPortMax = rtpPortMax_;
  return options;
}

CallSettings H323EndPoint::GetCallSettings() const {
  CallSettings s;
  {
    std::lock_guard lock(mutex_);
    s.localUserName = localUserName_;
    s.capabilities = capabilities_;
    s.fastStartDisabled = fastStartDisabled_;
    s.tunnelingDisabled = tunnelingDisabled_;
    s.timings = callTimings_;
    s.acceptUnadmittedCalls = acceptUnadmittedCalls_;
  }
  // A lost registration counts: the call's admission request registers again first.
  if (auto gatekeeper = GetGatekeeper();
      gatekeeper && (gatekeeper->IsRegistered() || gatekeeper->IsRegistrationLost())) {
    s.registered = true;
    s.endpointIdentifier = gatekeeper->GetEndpointIdentifier();
  }
  return s;
}

asio::io_context& H323EndPoint::GetIoContext() {
  EnsureRunning();
  return io_;
}

// --- media hooks ---

std::shared_ptr<H323RtpSession> H323EndPoint::OpenRtpSession(unsigned sessionID, const asn::Ipv4Address& localIp) {
  std::string error;
  auto session = endpoint::OpenRtpSession(sessionID, localIp, GetMediaOptions(), &error);
  if (!session) PTRACE(1, "H225", "no RTP session: " << error);
  return session;
}

std::unique_ptr<H323Channel> H323EndPoint::CreateChannel(std::shared_ptr<H323RtpSession> session,
                                                         const H323Channel::Parameters& parameters) {
  return CreateAudioChannel(std::move(session), parameters, GetMediaOptions());
}

// --- default callbacks ---

bool H323EndPoint::OnAlerting(H323Connection&, const q931::Q931Message&, const std::string&) { return true; }
void H323EndPoint::OnConnectionEstablished(H323Connection&, const std::string&) {}
void H323EndPoint::OnConnectionCleared(H323Connection&, const std::string&) {}
H323EndPoint::AnswerCallResponse H323EndPoint::OnAnswerCall(H323Connection&, const std::string&,
                                                            const q931::Q931Message&) {
  return AnswerCallNow;
}
void H323EndPoint::OnUserInputString(H323Connection&, const std::string&) {}
void H323EndPoint::OnStartLogicalChannel(H323Connection&, H323Channel&) {}
void H323EndPoint::OnClosedLogicalChannel(H323Connection&, H323Channel&) {}
void H323EndPoint::OnCallEvent(H323Connection&, CallEvent, const std::string&) {}

std::shared_ptr<H323Connection> H323EndPoint::CreateConnection(unsigned callReference) {
  return std::make_shared<H323Connection>(*this, callReference);
}

// --- the call API ---

unsigned H323EndPoint::NextCallReference() {
  // 15 bits, never 0, unique among the calls of the moment.
  for (;;) {
    const unsigned ref = (nextCallReference_++ % 0x7fff) + 1;
    std::lock_guard lock(callsMutex_);
    bool used = false;
    for (const auto& [token, connection] : connections_) used |= connection->GetCallReference() == ref;
    if (!used) return ref;
  }
}

std::shared_ptr<H323Connection> H323EndPoint::MakeCall(const std::string& remoteParty, std::string& token, void*) {
  token.clear();
  if (shutdown_) return nullptr;
  auto connection = CreateConnection(NextCallReference());
  if (!connection) return nullptr;
  token = connection->GetCallToken();
  {
    std::lock_guard lock(callsMutex_);
    if (shutdown_) {
      token.clear();
      return nullptr;
    }
    connections_[token] = connection;
  }
  connection->PlaceCall(remoteParty);
  return connection;
}

bool H323EndPoint::ClearCall(const std::string& token, H323Connection::CallEndReason reason) {
  std::shared_ptr<H323Connection> connection;
  {
    std::lock_guard lock(callsMutex_);
    auto it = connections_.find(token);
    if (it == connections_.end()) return false;
    connection = it->second;
  }
  connection->ClearCall(reason);
  return true;
}

bool H323EndPoint::HasConnection(const std::string& token) const {
  std::lock_guard lock(callsMutex_);
  return connections_.count(token) != 0;
}

H323ConnectionLock H323EndPoint::FindConnectionWithLock(const std::string& token) {
  std::shared_ptr<H323Connection> connection;
  {
    std::lock_guard lock(callsMutex_);
    auto it = connections_.find(token);
    if (it == connections_.end()) return {};
    connection = it->second;
  }
  // Outside the table's lock: the connection's may be held a moment by its strand.
  H323ConnectionLock locked(std::move(connection));
  if (locked->IsCleared()) return {};
  return locked;
}

std::vector<std::string> H323EndPoint::GetAllConnections() const {
  std::lock_guard lock(callsMutex_);
  std::vector<std::string> tokens;
  for (const auto& [token, connection] : connections_) tokens.push_back(token);
  return tokens;
}

std::vector<std::shared_ptr<H323Connection>> H323EndPoint::Connections() const {
  std::lock_guard lock(callsMutex_);
  std::vector<std::shared_ptr<H323Connection>> all;
  for (const auto& [token, connection] : connections_) all.push_back(connection);
  return all;
}

void H323EndPoint::ClearAllCalls(std::chrono::milliseconds wait) {
  for (auto& connection : Connections()) connection->ClearCall(H323Connection::EndedByLocalUser);
  std::unique_lock lock(callsMutex_);
  callsChanged_.wait_for(lock, wait, [this] { return connections_.empty() && pendingIncoming_ == 0; });
}

// --- the table of calls (H323ConnectionHost) ---

void H323EndPoint::OnIncomingSetup(std::shared_ptr<h225::TpktChannel> channel, h225::H225Message setup) {
  // On the channel's strand.
  bool busy = false;
  {
    std::lock_guard lock(callsMutex_);
    if (shutdown_) {
      channel->Close();
      return;
    }
    busy = connections_.size() + pendingIncoming_ >= maxCalls_;
    if (!busy) ++pendingIncoming_;
  }
  if (busy) {
    RefuseBusy(channel, setup);
    return;
  }
  std::shared_ptr<H323Connection> connection;
  try {
    connection = CreateConnection(setup.CallReference());
  } catch (const std::exception& e) {
    PTRACE(1, "H225", "CreateConnection: " << e.what());
  }
  auto moved = connection ? channel->MoveTo(connection->GetExecutor()) : nullptr;
  if (!moved) {
    channel->Close();
    std::lock_guard lock(callsMutex_);
    --pendingIncoming_;
    callsChanged_.notify_all();
    return;
  }
  connection->AnswerIncoming(std::move(moved), std::move(setup));
}

void H323EndPoint::RefuseBusy(const std::shared_ptr<h225::TpktChannel>& channel, const h225::H225Message& setup) {
  h225::H225MessageBuilder builder({setup.CallReference(), false, setup.CallIdentifier(), {}});
  builder.SetTunnelling(setup.Tunnelling().value_or(false) && !IsH245TunnelingDisabled());
  h225::H225Message rc = builder.ReleaseComplete(h::ReleaseCompleteReason::inConf, q931::Cause::UserBusy);
  if (auto bytes = rc.Encode()) channel->Send(*bytes);
  channel->Shutdown();
  std::string from;
  if (auto remote = channel->RemoteAddress()) from = h225::AddressText(*remote);
  PTRACE(2, "H225", "refused a call from " << from << ": busy with another call");
}

bool H323EndPoint::AddIncomingConnection(const std::shared_ptr<H323Connection>& connection) {
  std::lock_guard lock(callsMutex_);
  if (shutdown_) return false;
  --pendingIncoming_;
  connections_[connection->GetCallToken()] = connection;
  return true;
}

void H323EndPoint::WithdrawIncomingConnection(H323Connection&) {
  std::lock_guard lock(callsMutex_);
  if (pendingIncoming_ > 0) --pendingIncoming_;
  callsChanged_.notify_all();
}

void H323EndPoint::ConnectionEnded(const std::shared_ptr<H323Connection>& connection) {
  {
    std::lock_guard lock(callsMutex_);
    connections_.erase(connection->GetCallToken());
  }
  try {
    OnConnectionCleared(*connection, connection->GetCallToken());
  } catch (const std::exception& e) {
    PTRACE(1, "H225", "OnConnectionCleared: " << e.what());
  }
  std::lock_guard lock(callsMutex_);
  callsChanged_.notify_all();
}

// --- the gatekeeper ---

void H323EndPoint::RequestAdmission(const ras::H323Gatekeeper::CallInfo& call,
                                    std::function<void(ras::H323Gatekeeper::Admission)> done) {
  auto gatekeeper = GetGatekeeper();
  if (!gatekeeper) {
    ras::H323Gatekeeper::Admission none;
    none.outcome = ras::H323Gatekeeper::Admission::Outcome::NotRegistered;
    done(std::move(none));
    return;
  }
  gatekeeper->RequestAdmission(call, std::move(done));
}

void H323EndPoint::Disengage(const ras::H323Gatekeeper::CallInfo& call, std::uint16_t disengageReason) {
  if (auto gatekeeper = GetGatekeeper()) gatekeeper->Disengage(call, disengageReason);
}

void H323EndPoint::WatchCalls(const std::shared_ptr<ras::H323Gatekeeper>& gatekeeper) {
  gatekeeper->SetCallInfoProvider([this] {
    std::vector<ras::H323Gatekeeper::CallInfo> calls;
    for (const auto& connection : Connections())
      if (!connection->IsCleared()) calls.push_back(connection->GetCallInfo());
    return calls;
  });
  gatekeeper->SetDisengageHandler([this](const std::string& callIdentifier) {
    for (const auto& connection : Connections()) {
      if (connection->IsCleared() || connection->GetCallIdentifier() != callIdentifier) continue;
      PTRACE(3, "H225", connection->GetCallToken() << ": the gatekeeper ends the call");
      connection->ClearCall(H323Connection::EndedByGatekeeper);
      return true;
    }
    return false;
  });
}

}  // namespace vantro::endpoint
