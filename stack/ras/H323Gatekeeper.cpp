#include "stack/ras/H323Gatekeeper.h"

#include "stack/asn/generated/H225.h"

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
  switch (reason.choice()) {
    case h225::RegistrationRejectReason::invalidCallSignalAddress:
    case h225::RegistrationRejectReason::invalidRASAddress:
      return H323Gatekeeper::InvalidListener;
    case h225::RegistrationRejectReason::duplicateAlias:
      return H323Gatekeeper::DuplicateAlias;
    case h225::RegistrationRejectReason::securityDenial:
    case h225::RegistrationRejectReason::securityError:
      return H323Gatekeeper::SecurityDenied;
    default:
      return H323Gatekeeper::RegistrationRejectReasonMask | reason.choice();
  }
}

unsigned MapGatekeeperReject(const Value& reason) {
  switch (reason.choice()) {
    case h225::GatekeeperRejectReason::securityDenial:
    case h225::GatekeeperRejectReason::securityError:
      return H323Gatekeeper::SecurityDenied;
    default:
      return H323Gatekeeper::RegistrationRejectReasonMask | reason.choice();
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
    auth_.SetCapabilities(grq.alternative());
    return Encode(std::move(grq));
  };
  auto accept = [](const Value& m, std::span<const std::uint8_t>) {
    return m.is(h225::RasMessage::gatekeeperConfirm) || m.is(h225::RasMessage::gatekeeperReject);
  };
  const RasTimings& t = settings_.timings;
  channel_->Request(seq, build, accept, t.discoveryTimeout, t.discoveryTries,
                    [self = shared_from_this(), done](RasChannel::Answer answer) {
                      if (answer.outcome != RasChannel::Outcome::Answered) {
                        done(false);
                        return;
                      }
                      const Value& body = answer.message.alternative();
                      if (answer.message.is(h225::RasMessage::gatekeeperReject)) {
                        self->discovered_ = false;
                        self->SetRegistered(false, MapGatekeeperReject(body[h225::GatekeeperReject::rejectReason]));
                        done(true);
                        return;
                      }
                      {
                        std::lock_guard lock(self->mutex_);
                        const Value* id = body.get(h225::GatekeeperConfirm::gatekeeperIdentifier);
                        self->gatekeeperId_ = id ? id->text() : std::string();
                      }
                      // The confirm may name another RAS address for the gatekeeper.
                      if (auto ras = asn::ipv4(body[h225::GatekeeperConfirm::rasAddress]); ras && IsUsable(*ras))
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
    if (m.is(h225::RasMessage::registrationReject)) return true;
    return m.is(h225::RasMessage::registrationConfirm) && Acceptable(auth_.CheckReceived(m, bytes));
  };
  const RasTimings& t = settings_.timings;
  channel_->Request(seq, build, accept, keepAlive ? keepAliveTimeout_ : t.requestTimeout, keepAlive ? 2 : t.requestTries,
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
    if (keepAlive || failReason_ == GatekeeperLostRegistration) {
      // Lost: try full registrations until one succeeds.
      SetRegistered(false, GatekeeperLostRegistration);
      ScheduleKeepAlive(keepAliveInterval_);
    } else {
      SetRegistered(false, TransportError);
    }
    done(false);
    return;
  }
  const Value& body = answer.message.alternative();
  if (answer.message.is(h225::RasMessage::registrationReject)) {
    const Value& reason = body[h225::RegistrationReject::rejectReason];
    if (keepAlive && reason.choice() == h225::RegistrationRejectReason::fullRegistrationRequired) {
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
    endpointId_ = body[C::endpointIdentifier].text();
    if (const Value* id = body.get(C::gatekeeperIdentifier)) gatekeeperId_ = id->text();
  }
  SetRegistered(true, RegistrationSuccessful);
  if (const Value* ttl = body.get(C::timeToLive)) {
    using namespace std::chrono;
    const milliseconds life = seconds(std::clamp<std::int64_t>(ttl->integer(), 1, 24 * 3600));
    const milliseconds margin = std::min<milliseconds>(life * 2 / 5, minutes(1));
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
    else if (self->failReason_ == GatekeeperLostRegistration)
      self->StartRegistration(false, [](bool) {});
  });
}

void H323Gatekeeper::OnRequest(const Value& message, std::span<const std::uint8_t> bytes) {
  const bool urq = message.is(h225::RasMessage::unregistrationRequest);
  const bool irq = message.is(h225::RasMessage::infoRequest);
  if ((!urq && !irq) || !Acceptable(auth_.CheckReceived(message, bytes))) return;
  const Value& body = message.alternative();
  const asio::ip::udp::endpoint peer = GetRasAddress();
  if (irq) {
    asio::ip::udp::endpoint to = peer;
    if (const Value* reply = body.get(h225::InfoRequest::replyAddress))
      if (auto a = asn::ipv4(*reply); a && IsUsable(*a)) to = {asio::ip::address_v4(a->ip), a->port};
    if (auto bytesOut = Encode(MakeInfoRequestResponse(body, Info()))) channel_->Send(*bytesOut, to);
    return;
  }
  using U = h225::UnregistrationRequest;
  const unsigned seq = static_cast<unsigned>(body[U::requestSeqNum].integer());
  const Value* id = body.get(U::endpointIdentifier);
  if (!registered_ || (id && id->text() != GetEndpointIdentifier())) {
    if (auto out = Encode(MakeUnregistrationReject(seq, h225::UnregRejectReason::notCurrentlyRegistered)))
      channel_->Send(*out, peer);
    return;
  }
  keepAliveTimer_.cancel();
  SetRegistered(false, UnregisteredByGatekeeper);
  if (auto out = Encode(MakeUnregistrationConfirm(seq))) channel_->Send(*out, peer);
  const Value* reason = body.get(U::reason);
  if (reason && reason->choice() == h225::UnregRequestReason::reregistrationRequired)
    StartRegistration(false, [](bool) {});
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
      if (m.is(h225::RasMessage::unregistrationReject)) return true;
      return m.is(h225::RasMessage::unregistrationConfirm) && Acceptable(auth_.CheckReceived(m, bytes));
    };
    const RasTimings& t = settings_.timings;
    channel_->Request(seq, build, accept, t.unregisterTimeout, t.unregisterTries,
                      [done](RasChannel::Answer) { done(); });
  });
}

void H323Gatekeeper::Close() {
  unregistering_ = true;
  keepAliveTimer_.cancel();
  channel_->Close();
}

}  // namespace vantro::ras
