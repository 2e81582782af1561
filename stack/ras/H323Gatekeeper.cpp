#include "stack/ras/H323Gatekeeper.h"

#include "stack/asn/generated/H225.h"
#include "runtime/PTrace.h"

#include <algorithm>

namespace vantro::ras {

using asn::Value;
namespace h225 = asn::h225;
using h235::TokenCheck;

struct H323Gatekeeper::Waiter {
  std::mutex mutex;
  std::condition_variable cv;
  bool done = false;
  bool found = false;
  bool registered = false;

  void Complete(bool f, bool r) {
    std::lock_guard lock(mutex);
    if (done) return;
    done = true;
    found = f;
    registered = r;
    cv.notify_all();
  }
};

namespace {

unsigned MapRegistrationReject(const Value& reason) {
  switch (reason.Choice()) {
    case h225::RegistrationRejectReason::invalidCallSignalAddress:
    case h225::RegistrationRejectReason::invalidRASAddress: return H323Gatekeeper::InvalidListener;
    case h225::RegistrationRejectReason::duplicateAlias: return H323Gatekeeper::DuplicateAlias;
    case h225::RegistrationRejectReason::securityDenial:
    case h225::RegistrationRejectReason::securityError: return H323Gatekeeper::SecurityDenied;
    default: return H323Gatekeeper::RegistrationRejectReasonMask | reason.Choice();
  }
}

unsigned MapGatekeeperReject(const Value& reason) {
  switch (reason.Choice()) {
    case h225::GatekeeperRejectReason::securityDenial:
    case h225::GatekeeperRejectReason::securityError: return H323Gatekeeper::SecurityDenied;
    default: return H323Gatekeeper::RegistrationRejectReasonMask | reason.Choice();
  }
}

bool Acceptable(TokenCheck check) { return check == TokenCheck::Ok || check == TokenCheck::Absent; }

// The address of this machine that datagrams to peer leave from.
asn::Ipv4Address LocalAddressTowards(asio::io_context& io, const asio::ip::udp::endpoint& peer) {
  asio::ip::udp::socket probe(io);
  std::error_code ec;
  probe.open(asio::ip::udp::v4(), ec);
  if (!ec) probe.connect(peer, ec);
  asio::ip::udp::endpoint local;
  if (!ec) local = probe.local_endpoint(ec);
  if (ec || !local.address().is_v4()) return {};
  return {local.address().to_v4().to_bytes(), 0};
}

bool IsUsable(const asn::Ipv4Address& a) { return a.port != 0 && a.ip != std::array<std::uint8_t, 4>{}; }

}  // namespace

H323Gatekeeper::H323Gatekeeper(asio::io_context& io, Settings settings)
    : io_(io), settings_(std::move(settings)), keepAliveTimer_(io) {
  auth_.SetPassword(settings_.password);
  if (settings_.clock) auth_.SetClock(settings_.clock);
  channel_ = std::make_shared<RasChannel>(io_);
  channel_->SetTimings(settings_.timings);
}

H323Gatekeeper::~H323Gatekeeper() = default;

std::string H323Gatekeeper::GetIdentifier() const {
  std::lock_guard lock(mutex_);
  return gatekeeperId_;
}

std::string H323Gatekeeper::GetEndpointIdentifier() const {
  std::lock_guard lock(mutex_);
  return endpointId_;
}

asio::ip::udp::endpoint H323Gatekeeper::GetRasAddress() const {
  std::lock_guard lock(mutex_);
  return peer_;
}

asn::Ipv4Address H323Gatekeeper::GetLocalRasAddress() const {
  std::lock_guard lock(mutex_);
  return {localIp_.ip, channel_->LocalPort()};
}

void H323Gatekeeper::Post(std::function<void()> fn) {
  asio::post(io_, [self = shared_from_this(), fn = std::move(fn)] { fn(); });
}

bool H323Gatekeeper::Wait(const std::shared_ptr<Waiter>& waiter) {
  {
    std::lock_guard lock(mutex_);
    waiter_ = waiter;
  }
  std::unique_lock lock(waiter->mutex);
  waiter->cv.wait(lock, [&] { return waiter->done || aborted_.load(); });
  return waiter->done;
}

void H323Gatekeeper::Abort() {
  aborted_ = true;
  std::shared_ptr<Waiter> waiter;
  {
    std::lock_guard lock(mutex_);
    waiter = waiter_;
  }
  if (waiter) {
    std::lock_guard lock(waiter->mutex);
    waiter->cv.notify_all();
  }
}

bool H323Gatekeeper::DiscoverAndRegister(const asio::ip::udp::endpoint& address, bool& found) {
  found = false;
  if (aborted_) return false;
  auto waiter = std::make_shared<Waiter>();
  Post([this, waiter, address] {
    std::error_code ec;
    if (!channel_->Open(ec)) {
      SetRegistered(false, TransportError);
      waiter->Complete(false, false);
      return;
    }
    std::weak_ptr<H323Gatekeeper> weak = shared_from_this();
    channel_->SetRequestHandler([weak](const Value& message, std::span<const std::uint8_t> bytes) {
      if (auto self = weak.lock()) self->OnRequest(message, bytes);
    });
    SetPeer(address);
    StartDiscovery([this, waiter](bool answered) {
      if (!answered || !discovered_) {
        waiter->Complete(answered, false);
        return;
      }
      StartRegistration(false, [waiter](bool registered) { waiter->Complete(true, registered); });
    });
  });
  if (!Wait(waiter)) return false;
  std::lock_guard lock(waiter->mutex);
  found = waiter->found;
  return waiter->registered && registered_;
}

void H323Gatekeeper::SetPeer(const asio::ip::udp::endpoint& peer) {
  const asn::Ipv4Address local = LocalAddressTowards(io_, peer);
  std::lock_guard lock(mutex_);
  peer_ = peer;
  localIp_ = local;
  channel_->SetPeer(peer);
}

EndpointInfo H323Gatekeeper::Info() const {
  EndpointInfo info;
  std::lock_guard lock(mutex_);
  info.rasAddress = {localIp_.ip, channel_->LocalPort()};
  if (settings_.listener) {
    info.callSignalAddress = *settings_.listener;
    if (info.callSignalAddress.ip == std::array<std::uint8_t, 4>{}) info.callSignalAddress.ip = localIp_.ip;
  }
  info.alias = settings_.alias;
  info.gatekeeperId = gatekeeperId_;
  info.endpointId = endpointId_;
  info.timeToLive = settings_.timeToLive;
  return info;
}

h235::H235Authenticators::Identities H323Gatekeeper::Ids() const {
  std::lock_guard lock(mutex_);
  return {settings_.alias, endpointId_, gatekeeperId_};
}

std::optional<RasChannel::Bytes> H323Gatekeeper::Encode(Value message) {
  auto pending = auth_.AddTokens(message, Ids());
  return auth_.Encode(message, pending);
}

void H323Gatekeeper::SetRegistered(bool registered, unsigned reason) {
  failReason_ = reason;
  registered_ = registered;
}

void H323Gatekeeper::StartDiscovery(std::function<void(bool found)> done) {
  const unsigned seq = channel_->NextSequenceNumber();
  auto build = [this, seq]() -> std::optional<RasChannel::Bytes> {
    Value grq = MakeGatekeeperRequest(seq, Info());
    auth_.SetCapabilities(grq.Alternative());
    return Encode(std::move(grq));
  };
  auto accept = [](const Value& m, std::span<const std::uint8_t>) {
    return m.Is(h225::RasMessage::gatekeeperConfirm) || m.Is(h225::RasMessage::gatekeeperReject);
  };
  const RasTimings& t = settings_.timings;
  channel_->Request(seq, build, accept, t.discoveryTimeout, t.discoveryTries,
                    [self = shared_from_this(), done](RasChannel::Answer answer) {
                      if (answer.outcome != RasChannel::Outcome::Answered) {
                        done(false);
                        return;
                      }
                      const Value& body = answer.message.Alternative();
                      if (answer.message.Is(h225::RasMessage::gatekeeperReject)) {
                        self->discovered_ = false;
                        self->SetRegistered(false, MapGatekeeperReject(body[h225::GatekeeperReject::rejectReason]));
                        done(true);
                        return;
                      }
                      {
                        std::lock_guard lock(self->mutex_);
                        const Value* id = body.Get(h225::GatekeeperConfirm::gatekeeperIdentifier);
                        self->gatekeeperId_ = id ? id->Text() : std::string();
                      }
                      // The confirm may name another RAS address for the gatekeeper.
                      if (auto ras = asn::Ipv4(body[h225::GatekeeperConfirm::rasAddress]); ras && IsUsable(*ras))
                        self->SetPeer({asio::ip::address_v4(ras->ip), ras->port});
                      self->auth_.SelectFromConfirm(body);
                      self->discovered_ = true;
                      done(true);
                    });
}

void H323Gatekeeper::StartRegistration(bool keepAlive, std::function<void(bool registered)> done) {
  const EndpointInfo info = Info();
  if (!settings_.listener || info.callSignalAddress.port == 0) {
    SetRegistered(false, InvalidListener);
    done(false);
    return;
  }
  if (!IsUsable(info.rasAddress)) {
    SetRegistered(false, TransportError);
    done(false);
    return;
  }
  const unsigned seq = channel_->NextSequenceNumber();
  auto build = [this, seq, keepAlive]() { return Encode(MakeRegistrationRequest(seq, Info(), keepAlive)); };
  auto accept = [this](const Value& m, std::span<const std::uint8_t> bytes) {
    if (m.Is(h225::RasMessage::registrationReject)) return true;
    return m.Is(h225::RasMessage::registrationConfirm) && AcceptAnswer(m, bytes);
  };
  const RasTimings& t = settings_.timings;
  channel_->Request(seq, build, accept, keepAlive ? keepAliveTimeout_ : t.requestTimeout,
                    keepAlive ? 2 : t.requestTries,
                    [self = shared_from_this(), keepAlive, done](RasChannel::Answer answer) {
                      self->OnRegistrationAnswer(keepAlive, std::move(answer), done);
                    });
}

void H323Gatekeeper::OnRegistrationAnswer(bool keepAlive, RasChannel::Answer answer, std::function<void(bool)> done) {
  if (answer.outcome == RasChannel::Outcome::Cancelled || unregistering_) {
    done(false);
    return;
  }
  if (answer.outcome != RasChannel::Outcome::Answered) {
    if (keepAlive || Lost()) {
      // Lost: try full registrations until one succeeds.
      SetRegistered(false, GatekeeperLostRegistration);
      ScheduleKeepAlive(RetryInterval());
    } else {
      SetRegistered(false, TransportError);
    }
    done(false);
    return;
  }
  const Value& body = answer.message.Alternative();
  if (answer.message.Is(h225::RasMessage::registrationReject)) {
    const Value& reason = body[h225::RegistrationReject::rejectReason];
    if (keepAlive && reason.Choice() == h225::RegistrationRejectReason::fullRegistrationRequired) {
      StartRegistration(false, done);
      return;
    }
    keepAliveTimer_.cancel();
    SetRegistered(false, MapRegistrationReject(reason));
    done(false);
    return;
  }
  using C = h225::RegistrationConfirm;
  {
    std::lock_guard lock(mutex_);
    endpointId_ = body[C::endpointIdentifier].Text();
    if (const Value* id = body.Get(C::gatekeeperIdentifier)) gatekeeperId_ = id->Text();
  }
  SetRegistered(true, RegistrationSuccessful);
  if (const Value* ttl = body.Get(C::timeToLive)) {
    using namespace std::chrono;
    const milliseconds second = settings_.timings.timeToLiveSecond;
    const milliseconds life = second * std::clamp<std::int64_t>(ttl->Integer(), 1, 24 * 3600);
    const milliseconds margin = std::min<milliseconds>(life * 2 / 5, second * 60);
    keepAliveInterval_ = life - margin;
    keepAliveTimeout_ = std::max<milliseconds>(std::min(settings_.timings.requestTimeout, margin / 2), milliseconds(1));
    ScheduleKeepAlive(keepAliveInterval_);
  }
  done(true);
}

void H323Gatekeeper::ScheduleKeepAlive(std::chrono::milliseconds wait) {
  if (wait.count() <= 0) return;
  keepAliveTimer_.expires_after(wait);
  keepAliveTimer_.async_wait([self = shared_from_this()](std::error_code ec) {
    if (ec || self->unregistering_) return;
    if (self->registered_)
      self->StartRegistration(true, [](bool) {});
    else if (self->Lost())
      self->Reregister([](bool) {});
  });
}

bool H323Gatekeeper::Lost() const {
  return failReason_ == GatekeeperLostRegistration || failReason_ == UnregisteredByGatekeeper;
}

std::chrono::milliseconds H323Gatekeeper::RetryInterval() const {
  // Without a time to live from the gatekeeper, once a minute.
  return keepAliveInterval_.count() > 0 ? keepAliveInterval_ : settings_.timings.timeToLiveSecond * 60;
}

void H323Gatekeeper::Reregister(std::function<void(bool registered)> done) {
  reregistering_.push_back(std::move(done));
  if (reregistering_.size() > 1) return;  // one registration answers them all
  StartRegistration(false, [self = shared_from_this()](bool registered) {
    auto waiting = std::move(self->reregistering_);
    self->reregistering_.clear();
    for (auto& fn : waiting) fn(registered);
  });
}

bool H323Gatekeeper::Trusted(const Value& request, std::span<const std::uint8_t> bytes) const {
  const TokenCheck check = auth_.CheckReceived(request, bytes);
  return gatekeeperSigns_ ? check == TokenCheck::Ok : Acceptable(check);
}

bool H323Gatekeeper::AcceptAnswer(const Value& message, std::span<const std::uint8_t> bytes) {
  const TokenCheck check = auth_.CheckReceived(message, bytes);
  if (check == TokenCheck::Ok) {
    gatekeeperSigns_ = true;
    return true;
  }
  return !gatekeeperSigns_ && check == TokenCheck::Absent;
}

void H323Gatekeeper::OnRequest(const Value& message, std::span<const std::uint8_t> bytes) {
  using M = h225::RasMessage;
  if (!message.Is(M::unregistrationRequest) && !message.Is(M::infoRequest) && !message.Is(M::disengageRequest)) return;
  if (!Trusted(message, bytes)) {
    PTRACE(2, "RAS",
           "dropped a gatekeeper's request (" << message.Alternative().TypeName() << ") without a valid signature");
    return;
  }
  const Value& body = message.Alternative();
  if (message.Is(M::infoRequest))
    OnInfoRequest(body);
  else if (message.Is(M::disengageRequest))
    OnDisengageRequest(body);
  else
    OnUnregistrationRequest(body);
}

void H323Gatekeeper::OnInfoRequest(const Value& body) {
  asio::ip::udp::endpoint to = GetRasAddress();
  if (const Value* reply = body.Get(h225::InfoRequest::replyAddress))
    if (auto a = asn::Ipv4(*reply); a && IsUsable(*a)) to = {asio::ip::address_v4(a->ip), a->port};
  if (auto bytesOut = Encode(MakeInfoRequestResponse(body, Info(), Calls()))) channel_->Send(*bytesOut, to);
}

void H323Gatekeeper::OnDisengageRequest(const Value& body) {
  using D = h225::DisengageRequest;
  const unsigned seq = static_cast<unsigned>(body[D::requestSeqNum].Integer());
  std::string guid;
  if (const Value* id = body.Get(D::callIdentifier)) guid = (*id)[h225::CallIdentifier::guid].Bytes();
  if (std::all_of(guid.begin(), guid.end(), [](char c) { return c == 0; })) {
    // No call identifier: the conference and the call reference name the call.
    guid.clear();
    for (const CallInfo& call : Calls())
      if (call.conferenceID == body[D::conferenceID].Bytes() &&
          call.callReference == body[D::callReferenceValue].Integer())
        guid = call.callIdentifier;
  }
  std::function<bool(const std::string&)> handler;
  {
    std::lock_guard lock(mutex_);
    handler = disengageHandler_;
  }
  std::optional<std::uint16_t> reject;
  if (!registered_ || body[D::endpointIdentifier].Text() != GetEndpointIdentifier())
    reject = h225::DisengageRejectReason::notRegistered;
  else if (guid.empty() || !handler || !handler(guid))
    reject = h225::DisengageRejectReason::requestToDropOther;
  if (!reject) StopInfoReports(guid);
  PTRACE(3, "RAS", "gatekeeper's disengage request " << (reject ? "refused" : "confirmed"));
  if (auto out = Encode(reject ? MakeDisengageReject(seq, *reject) : MakeDisengageConfirm(seq)))
    channel_->Send(*out, GetRasAddress());
}

void H323Gatekeeper::OnUnregistrationRequest(const Value& body) {
  using U = h225::UnregistrationRequest;
  const asio::ip::udp::endpoint peer = GetRasAddress();
  const unsigned seq = static_cast<unsigned>(body[U::requestSeqNum].Integer());
  const Value* id = body.Get(U::endpointIdentifier);
  if (!registered_ || (id && id->Text() != GetEndpointIdentifier())) {
    if (auto out = Encode(MakeUnregistrationReject(seq, h225::UnregRejectReason::notCurrentlyRegistered)))
      channel_->Send(*out, peer);
    return;
  }
  keepAliveTimer_.cancel();
  SetRegistered(false, UnregisteredByGatekeeper);
  if (auto out = Encode(MakeUnregistrationConfirm(seq))) channel_->Send(*out, peer);
  // Whatever the reason (a restart for maintenance, an expired time to live, a request to register
  // anew), the endpoint registers again at once, so that it can still call and be called. A
  // gatekeeper that does not want it refuses the registration, which ends it; one that does not
  // answer, such as one going down, is tried again as a lost registration is.
  Reregister([](bool) {});
}

// --- calls ---

std::vector<H323Gatekeeper::CallInfo> H323Gatekeeper::Calls() const {
  std::function<std::vector<CallInfo>()> provider;
  {
    std::lock_guard lock(mutex_);
    provider = callInfoProvider_;
  }
  return provider ? provider() : std::vector<CallInfo>{};
}

void H323Gatekeeper::SetCallInfoProvider(std::function<std::vector<CallInfo>()> provider) {
  std::lock_guard lock(mutex_);
  callInfoProvider_ = std::move(provider);
}

void H323Gatekeeper::SetDisengageHandler(std::function<bool(const std::string& callIdentifier)> handler) {
  std::lock_guard lock(mutex_);
  disengageHandler_ = std::move(handler);
}

void H323Gatekeeper::RequestAdmission(const CallInfo& call, std::function<void(Admission)> done) {
  Post([this, call, done = std::move(done)]() mutable {
    if (!unregistering_ && !registered_ && Lost()) {
      // The gatekeeper dropped the registration (or went away): registering again comes first.
      Reregister([self = shared_from_this(), call, done = std::move(done)](bool) mutable {
        self->SendAdmissionRequest(call, std::move(done), true);
      });
      return;
    }
    SendAdmissionRequest(call, std::move(done), false);
  });
}

void H323Gatekeeper::SendAdmissionRequest(const CallInfo& call, std::function<void(Admission)> done,
                                          bool reregistered) {
  if (unregistering_ || !registered_) {
    // Being removed (unregistering or closed), or not registered at all.
    Admission admission;
    admission.outcome = unregistering_ ? Admission::Outcome::Cancelled : Admission::Outcome::NotRegistered;
    done(std::move(admission));
    return;
  }
  const unsigned seq = channel_->NextSequenceNumber();
  auto build = [this, seq, call] { return Encode(MakeAdmissionRequest(seq, Info(), call)); };
  auto accept = [this](const Value& m, std::span<const std::uint8_t> bytes) {
    if (m.Is(h225::RasMessage::admissionReject)) return true;
    return m.Is(h225::RasMessage::admissionConfirm) && AcceptAnswer(m, bytes);
  };
  const RasTimings& t = settings_.timings;
  channel_->Request(seq, build, accept, t.requestTimeout, t.requestTries,
                    [self = shared_from_this(), call, done = std::move(done), reregistered](RasChannel::Answer answer) {
                      self->OnAdmissionAnswer(call, std::move(answer), done, reregistered);
                    });
}

void H323Gatekeeper::OnAdmissionAnswer(const CallInfo& call, RasChannel::Answer answer,
                                       const std::function<void(Admission)>& done, bool reregistered) {
  using O = Admission::Outcome;
  Admission admission;
  switch (answer.outcome) {
    case RasChannel::Outcome::TimedOut: admission.outcome = O::TimedOut; break;
    case RasChannel::Outcome::TransportFailed: admission.outcome = O::TransportFailed; break;
    case RasChannel::Outcome::Cancelled: admission.outcome = O::Cancelled; break;
    case RasChannel::Outcome::Answered: {
      const AdmissionAnswer read = ReadAdmissionAnswer(answer.message);
      admission.outcome = read.confirmed ? O::Confirmed : O::Rejected;
      admission.rejectReason = read.rejectReason;
      admission.destCallSignalAddress = read.destCallSignalAddress;
      admission.gatekeeperRouted = read.gatekeeperRouted;
      admission.bandwidth = read.bandwidth;
      admission.destinationAliases = read.destinationAliases;
      admission.irrFrequency = read.irrFrequency;
      admission.confirm = std::move(answer.message);
      admission.endpointIdentifier = GetEndpointIdentifier();
      if (read.confirmed && !(read.destCallSignalAddress && IsUsable(*read.destCallSignalAddress))) {
        PTRACE(2, "RAS", "admission confirm without a usable call signalling address");
        admission.outcome = O::TransportFailed;
      }
      break;
    }
  }
  using R = h225::AdmissionRejectReason;
  if (admission.outcome == O::Rejected && !reregistered && !unregistering_ &&
      (admission.rejectReason == R::callerNotRegistered || admission.rejectReason == R::invalidEndpointIdentifier)) {
    // The gatekeeper has forgotten this endpoint (restarted, or its registration ran out): register
    // again and ask once more, under the new endpoint identifier. If that fails, the reject stands.
    PTRACE(2, "RAS", "admission refused as not registered; registering again");
    SetRegistered(false, GatekeeperLostRegistration);
    keepAliveTimer_.cancel();
    Reregister([self = shared_from_this(), call, done, admission](bool registered) {
      if (registered)
        self->SendAdmissionRequest(call, done, true);
      else
        done(admission);
    });
    return;
  }
  PTRACE(3, "RAS",
         "admission " << (admission.outcome == O::Confirmed  ? "confirmed"
                          : admission.outcome == O::Rejected ? "rejected"
                                                             : "not answered"));
  if (admission.outcome == O::Confirmed && admission.irrFrequency)
    StartInfoReports(call, std::chrono::seconds(*admission.irrFrequency));
  done(std::move(admission));
}

void H323Gatekeeper::StartInfoReports(const CallInfo& call, std::chrono::seconds interval) {
  InfoReports& reports = infoReports_[call.callIdentifier];
  if (reports.timer) reports.timer->cancel();
  reports.call = call;
  reports.interval = interval;
  reports.timer = std::make_unique<asio::steady_timer>(io_);
  ArmInfoReport(call.callIdentifier);
}

void H323Gatekeeper::ArmInfoReport(const std::string& callIdentifier) {
  auto it = infoReports_.find(callIdentifier);
  if (it == infoReports_.end()) return;
  asio::steady_timer* timer = it->second.timer.get();
  timer->expires_after(it->second.interval);
  // The timer belongs to this object: the handler holds it weakly and checks the report is still the same.
  timer->async_wait([weak = weak_from_this(), callIdentifier, timer](std::error_code ec) {
    auto self = weak.lock();
    if (ec || !self) return;
    auto found = self->infoReports_.find(callIdentifier);
    if (found == self->infoReports_.end() || found->second.timer.get() != timer) return;
    if (self->registered_) {
      CallInfo call = found->second.call;
      for (const CallInfo& current : self->Calls())
        if (current.callIdentifier == callIdentifier) call = current;
      const unsigned seq = self->channel_->NextSequenceNumber();
      if (auto out = self->Encode(MakeUnsolicitedInfoRequestResponse(seq, self->Info(), call)))
        self->channel_->Send(*out, self->GetRasAddress());
    }
    self->ArmInfoReport(callIdentifier);
  });
}

void H323Gatekeeper::StopInfoReports(const std::string& callIdentifier) {
  auto it = infoReports_.find(callIdentifier);
  if (it == infoReports_.end()) return;
  it->second.timer->cancel();
  infoReports_.erase(it);
}

void H323Gatekeeper::Disengage(const CallInfo& call, std::uint16_t reason, std::function<void()> done) {
  Post([this, call, reason, done = std::move(done)] {
    StopInfoReports(call.callIdentifier);
    if (unregistering_ || !registered_) {
      if (done) done();
      return;
    }
    const unsigned seq = channel_->NextSequenceNumber();
    auto build = [this, seq, call, reason] { return Encode(MakeDisengageRequest(seq, Info(), call, reason)); };
    auto accept = [this](const Value& m, std::span<const std::uint8_t> bytes) {
      if (m.Is(h225::RasMessage::disengageReject)) return true;
      return m.Is(h225::RasMessage::disengageConfirm) && AcceptAnswer(m, bytes);
    };
    const RasTimings& t = settings_.timings;
    channel_->Request(seq, build, accept, t.requestTimeout, t.requestTries,
                      [self = shared_from_this(), done](RasChannel::Answer answer) {
                        PTRACE(3, "RAS",
                               "disengage " << (answer.outcome == RasChannel::Outcome::Answered
                                                    ? answer.message.Alternative().TypeName()
                                                    : "not answered"));
                        if (done) done();
                      });
  });
}

void H323Gatekeeper::Unregister(std::function<void()> done) {
  Post([this, done] {
    unregistering_ = true;
    keepAliveTimer_.cancel();
    const bool wasRegistered = registered_;
    channel_->CancelRequests();
    SetRegistered(false, UnregisteredLocally);
    if (!wasRegistered) {
      done();
      return;
    }
    const unsigned seq = channel_->NextSequenceNumber();
    auto build = [this, seq] { return Encode(MakeUnregistrationRequest(seq, Info(), std::nullopt)); };
    auto accept = [this](const Value& m, std::span<const std::uint8_t> bytes) {
      if (m.Is(h225::RasMessage::unregistrationReject)) return true;
      return m.Is(h225::RasMessage::unregistrationConfirm) && AcceptAnswer(m, bytes);
    };
    const RasTimings& t = settings_.timings;
    channel_->Request(seq, build, accept, t.unregisterTimeout, t.unregisterTries,
                      [done](RasChannel::Answer) { done(); });
  });
}

void H323Gatekeeper::Close() {
  unregistering_ = true;
  keepAliveTimer_.cancel();
  for (auto& [id, reports] : infoReports_) reports.timer->cancel();
  infoReports_.clear();
  channel_->Close();
}

}  // namespace vantro::ras
