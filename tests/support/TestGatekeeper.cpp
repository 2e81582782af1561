#include "tests/support/TestGatekeeper.h"

#include "stack/asn/Defaults.h"
#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"
#include "stack/asn/generated/H235.h"
#include "stack/h235/H235AuthCAT.h"
#include "stack/h235/H235AuthProcedure1.h"
#include "stack/h235/H235AuthSimpleMD5.h"
#include "stack/ras/H323GatekeeperMessages.h"

#include <algorithm>
#include <ctime>
#include <future>

namespace vantro::test {

using asn::Value;
namespace h225 = asn::h225;
using h235::TokenCheck;
using M = h225::RasMessage;

namespace {

constexpr asn::Ipv4Address Local(std::uint16_t port) { return {{127, 0, 0, 1}, port}; }

// A RAS message of this kind with its sequence number, and the protocol identifier where it has one.
Value Make(std::uint16_t kind, std::int64_t seq, Value** body) {
  Value msg(M::Id);
  Value& b = *(*body = &msg.Select(kind));
  b.Field(static_cast<std::uint16_t>(b.IndexOf("requestSeqNum"))).SetInteger(seq);
  if (const int i = b.IndexOf("protocolIdentifier"); i >= 0)
    b.Field(static_cast<std::uint16_t>(i)).SetOid(asn::kH225ProtocolIdentifier);
  return msg;
}

// A reject of this kind with its reason.
Value Reject(std::uint16_t kind, std::int64_t seq, std::uint16_t reason) {
  Value* b;
  Value msg = Make(kind, seq, &b);
  b->Field(static_cast<std::uint16_t>(b->IndexOf("rejectReason"))).Select(reason);
  asn::CompleteMandatory(*b);
  return msg;
}

std::string Guid(const Value* callIdentifier) {
  return callIdentifier ? (*callIdentifier)[h225::CallIdentifier::guid].Bytes() : std::string();
}

std::vector<std::string> Aliases(const Value* list) {
  std::vector<std::string> out;
  if (list)
    for (const Value& alias : list->Elements()) out.push_back(asn::AliasText(alias));
  return out;
}

}  // namespace

TestGatekeeper::TestGatekeeper() : TestGatekeeper(Script{}) {}

TestGatekeeper::TestGatekeeper(Script script, std::uint16_t rasPort, std::uint16_t signallingPort)
    : socket_(io_, asio::ip::udp::endpoint(asio::ip::address_v4::loopback(), rasPort)),
      acceptor_(io_, asio::ip::tcp::endpoint(asio::ip::address_v4::loopback(), signallingPort)),
      port_(socket_.local_endpoint().port()),
      signallingPort_(acceptor_.local_endpoint().port()),
      script_(std::move(script)) {
  Receive();
  Accept();
  thread_ = std::thread([this] { io_.run(); });
}

TestGatekeeper::~TestGatekeeper() {
  std::promise<void> closed;
  asio::post(io_, [this, &closed] {
    std::error_code ignored;
    socket_.close(ignored);
    acceptor_.close(ignored);
    for (auto& weak : relayed_)
      if (auto call = weak.lock()) call->Close();
    closed.set_value();
  });
  closed.get_future().wait();
  io_.stop();
  thread_.join();
}

void TestGatekeeper::SetScript(const Script& script) {
  std::lock_guard lock(mutex_);
  script_ = script;
}

std::vector<TestGatekeeper::Received> TestGatekeeper::MessagesOf(std::uint16_t kind) const {
  std::vector<Received> out = Messages();
  std::erase_if(out, [&](const Received& r) { return !r.message.Is(kind); });
  return out;
}

std::vector<TestGatekeeper::Received> TestGatekeeper::RegistrationRequests(bool keepAlive) const {
  std::vector<Received> out = MessagesOf(M::registrationRequest);
  std::erase_if(out, [&](const Received& r) {
    return r.message.Alternative()[h225::RegistrationRequest::keepAlive].Boolean() != keepAlive;
  });
  return out;
}

bool TestGatekeeper::WaitUntil(const std::function<bool(const std::vector<Received>&)>& pred,
                               std::chrono::milliseconds limit) const {
  // pred runs without the lock, so it may ask this gatekeeper anything.
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    std::vector<Received> now;
    std::size_t seen;
    {
      std::lock_guard lock(mutex_);
      now = received_;
      seen = handled_;
    }
    if (pred(now)) return true;
    std::unique_lock lock(mutex_);
    if (!changed_.wait_until(lock, deadline, [&] { return handled_ != seen; })) return false;
  }
}

bool TestGatekeeper::WaitForMessages(std::uint16_t kind, std::size_t count, std::chrono::milliseconds limit) const {
  return WaitUntil(
      [&](const std::vector<Received>& all) {
        return std::count_if(all.begin(), all.end(), [&](const Received& r) { return r.message.Is(kind); }) >=
               static_cast<std::ptrdiff_t>(count);
      },
      limit);
}

std::size_t TestGatekeeper::ActiveCalls() const {
  const auto calls = Calls();
  return static_cast<std::size_t>(std::count_if(calls.begin(), calls.end(), [](const Call& c) {
    return std::any_of(c.parties.begin(), c.parties.end(), [](const CallParty& p) { return !p.disengaged; });
  }));
}

void TestGatekeeper::ForgetRegistrations() {
  std::lock_guard lock(mutex_);
  registrations_.clear();
}

std::optional<asn::Ipv4Address> TestGatekeeper::Resolve(const std::vector<std::string>& aliases) const {
  for (const std::string& alias : aliases)
    if (auto r = TargetOf(alias)) return r->callSignal;
  return std::nullopt;
}

// The registration with this alias; empty: the last one made.
std::optional<TestGatekeeper::Registration> TestGatekeeper::TargetOf(const std::string& alias) const {
  std::lock_guard lock(mutex_);
  if (alias.empty()) return Registration{endpointId_, {}, endpointRas_, {}};
  for (auto& [id, r] : registrations_)
    if (std::find(r.aliases.begin(), r.aliases.end(), alias) != r.aliases.end()) return r;
  return std::nullopt;
}

void TestGatekeeper::Receive() {
  socket_.async_receive_from(asio::buffer(buffer_), from_, [this](std::error_code ec, std::size_t n) {
    if (ec == asio::error::operation_aborted || !socket_.is_open()) return;
    const std::vector<std::uint8_t> bytes(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(ec ? 0 : n));
    auto decoded = asn::Decode(M::Id, bytes);
    if (!ec && decoded && !decoded->IsUnknownAlternative()) {
      {
        std::lock_guard lock(mutex_);
        received_.push_back(Received{*decoded, bytes, from_, std::chrono::steady_clock::now()});
      }
      Answer(*decoded, bytes, from_);
      // Waiters wake once the message has been answered, so that they see what it changed.
      {
        std::lock_guard lock(mutex_);
        ++handled_;
      }
      changed_.notify_all();
    }
    Receive();
  });
}

void TestGatekeeper::Accept() {
  acceptor_.async_accept([this](std::error_code ec, asio::ip::tcp::socket socket) {
    if (ec == asio::error::operation_aborted || !acceptor_.is_open()) return;
    if (!ec) {
      auto call = std::make_shared<RelayedCall>(
          std::move(socket), Local(signallingPort_),
          [this](const std::vector<std::string>& aliases) { return Resolve(aliases); }, relayLog_);
      std::erase_if(relayed_, [](const std::weak_ptr<RelayedCall>& c) { return c.expired(); });
      relayed_.push_back(call);
      call->Start();
    }
    Accept();
  });
}

bool TestGatekeeper::CheckTokens(const Value& message, std::span<const std::uint8_t> bytes, const Script& s) const {
  const Value& body = message.Alternative();
  bool md5 = false, cat = false, p1 = false;
  if (const Value* tokens = body.Find("cryptoTokens"))
    for (const Value& t : tokens->Elements()) {
      md5 = md5 || h235::H235AuthSimpleMD5::Validate(t, s.password) == TokenCheck::Ok;
      p1 = p1 || h235::H235AuthProcedure1::Validate(bytes, t, s.password) == TokenCheck::Ok;
    }
  if (const Value* tokens = body.Find("tokens"))
    for (const Value& t : tokens->Elements()) cat = cat || h235::H235AuthCAT::Validate(t, s.password) == TokenCheck::Ok;
  switch (s.auth) {
    case Auth::None: return true;
    case Auth::Md5: return md5;
    case Auth::Cat: return cat;
    case Auth::Procedure1: return p1;
    case Auth::Unannounced: return md5 || cat || p1;
  }
  return false;
}

void TestGatekeeper::Answer(const Value& request, std::span<const std::uint8_t> bytes,
                            const asio::ip::udp::endpoint& from) {
  Script s;
  {
    std::lock_guard lock(mutex_);
    s = script_;
  }
  const Value& body = request.Alternative();
  const std::int64_t seq = body.Find("requestSeqNum")->Integer();
  const bool sign = s.auth == Auth::Procedure1;
  Value* b;
  switch (request.Choice()) {
    case M::gatekeeperRequest: {
      if (!s.answerDiscovery) return;
      if (s.discoveryReject) return SendLater(Reject(M::gatekeeperReject, seq, *s.discoveryReject), from, false);
      using G = h225::GatekeeperConfirm;
      Value gcf = Make(M::gatekeeperConfirm, seq, &b);
      b->Field(G::gatekeeperIdentifier).SetText(s.identifier);
      asn::SetIpv4(b->Field(G::rasAddress), Local(port_));
      using AM = asn::h235::AuthenticationMechanism;
      if (s.auth == Auth::Cat)
        b->Field(G::authenticationMode).Select(AM::authenticationBES).Select(asn::h235::AuthenticationBES::radius);
      else if (s.auth == Auth::Md5 || s.auth == Auth::Procedure1)
        b->Field(G::authenticationMode).Select(AM::pwdHash);
      if (s.auth == Auth::Cat) b->Field(G::algorithmOID).SetOid(h235::kOidCat);
      if (s.auth == Auth::Md5) b->Field(G::algorithmOID).SetOid(h235::kOidMd5);
      if (s.auth == Auth::Procedure1) b->Field(G::algorithmOID).SetOid(h235::kOidHmacSha1_96);
      return SendLater(std::move(gcf), from, false);
    }
    case M::registrationRequest: {
      const bool tokensOk = CheckTokens(request, bytes, s);
      {
        std::lock_guard lock(mutex_);
        lastTokensValid_ = tokensOk;
      }
      if (auto answer = AnswerRegistration(body, tokensOk, s))
        SendLater(std::move(*answer), from, sign && answer->Is(M::registrationConfirm));
      return;
    }
    case M::admissionRequest:
      if (s.answerAdmission) SendLater(AnswerAdmission(body, CheckTokens(request, bytes, s), s), from, sign);
      return;
    case M::disengageRequest: {
      if (!s.answerDisengage) return;
      using D = h225::DisengageRequest;
      const std::string endpointId = body[D::endpointIdentifier].Text();
      bool known;
      {
        std::lock_guard lock(mutex_);
        known = registrations_.count(endpointId) > 0;
        if (auto it = calls_.find(Guid(body.Get(D::callIdentifier))); it != calls_.end())
          for (CallParty& party : it->second.parties) party.disengaged |= party.endpointId == endpointId;
      }
      const auto answerSeq = static_cast<unsigned>(seq);
      return SendLater(known ? ras::MakeDisengageConfirm(answerSeq)
                             : ras::MakeDisengageReject(answerSeq, h225::DisengageRejectReason::notRegistered),
                       from, sign);
    }
    case M::unregistrationRequest: {
      {
        std::lock_guard lock(mutex_);
        std::erase_if(registrations_, [&](auto& e) { return e.second.ras == from; });
        if (const Value* id = body.Get(h225::UnregistrationRequest::endpointIdentifier))
          registrations_.erase(id->Text());
        endpointId_.clear();
      }
      return Send(ras::MakeUnregistrationConfirm(static_cast<unsigned>(seq)), from,
                  sign ? Signing::AsScript : Signing::None);
    }
    default: return;
  }
}

std::optional<Value> TestGatekeeper::AnswerRegistration(const Value& body, bool tokensOk, const Script& s) {
  using R = h225::RegistrationRequest;
  if (!s.answerRegistration) return std::nullopt;
  const bool keepAlive = body[R::keepAlive].Boolean();
  std::optional<std::uint16_t> reject = keepAlive ? std::nullopt : s.registrationReject;
  std::string id;
  std::unique_lock lock(mutex_);
  if (keepAlive) {
    const Value* known = body.Get(R::endpointIdentifier);
    if (!known || !registrations_.count(known->Text()))
      reject = h225::RegistrationRejectReason::fullRegistrationRequired;
    else
      id = known->Text();
  }
  if (!reject && !tokensOk) reject = h225::RegistrationRejectReason::securityDenial;
  if (reject) {
    Value rrj = Reject(M::registrationReject, body[R::requestSeqNum].Integer(), *reject);
    rrj.Alternative().Field(h225::RegistrationReject::gatekeeperIdentifier).SetText(s.identifier);
    return rrj;
  }
  if (!keepAlive) {
    // A new identifier, in place of any other registration from the same RAS address.
    Registration r{
        "ep" + std::to_string(nextEndpoint_++) + "_" + s.identifier, Aliases(body.Get(R::terminalAlias)), {}, {}};
    if (auto ras = asn::Ipv4(body[R::rasAddress].At(0))) r.ras = {asio::ip::address_v4(ras->ip), ras->port};
    if (body[R::callSignalAddress].Size() > 0)
      if (auto cs = asn::Ipv4(body[R::callSignalAddress].At(0))) r.callSignal = *cs;
    std::erase_if(registrations_, [&](auto& e) { return e.second.ras == r.ras; });
    id = endpointId_ = r.endpointId;
    endpointRas_ = r.ras;
    registrations_[id] = std::move(r);
  }
  lock.unlock();
  using C = h225::RegistrationConfirm;
  Value* b;
  Value rcf = Make(M::registrationConfirm, body[R::requestSeqNum].Integer(), &b);
  asn::SetIpv4(b->Field(C::callSignalAddress).Append(), Local(signallingPort_));
  if (const Value* aliases = body.Get(R::terminalAlias))
    for (const Value& alias : aliases->Elements()) b->Field(C::terminalAlias).Append(alias);
  b->Field(C::gatekeeperIdentifier).SetText(s.identifier);
  b->Field(C::endpointIdentifier).SetText(id);
  const Value* asked = body.Get(R::timeToLive);
  if (s.grantedTimeToLive || asked)
    b->Field(C::timeToLive).SetInteger(s.grantedTimeToLive ? s.grantedTimeToLive : asked->Integer());
  b->Field(C::willRespondToIRR).SetBoolean(false);
  b->Field(C::maintainConnection).SetBoolean(false);
  asn::CompleteMandatory(*b);
  return rcf;
}

Value TestGatekeeper::AnswerAdmission(const Value& body, bool tokensOk, const Script& s) {
  using A = h225::AdmissionRequest;
  const bool answerCall = body[A::answerCall].Boolean();
  const std::string endpointId = body[A::endpointIdentifier].Text();
  std::optional<asn::Ipv4Address> caller;
  {
    std::lock_guard lock(mutex_);
    if (auto it = registrations_.find(endpointId); it != registrations_.end()) caller = it->second.callSignal;
  }
  const std::vector<std::string> called = Aliases(body.Get(A::destinationInfo));
  std::optional<std::uint16_t> reject;
  std::optional<asn::Ipv4Address> destination;
  if (!caller)
    reject = h225::AdmissionRejectReason::callerNotRegistered;
  else if (!tokensOk)
    reject = h225::AdmissionRejectReason::securityDenial;
  else if (s.admissionReject)
    reject = s.admissionReject;
  else if (answerCall && s.answerCallReject)
    reject = s.answerCallReject;
  else if (answerCall)
    destination = caller;
  else if (auto callee = Resolve(called))
    destination = callee;
  else if (const Value* address = body.Get(A::destCallSignalAddress); address && called.empty())
    destination = asn::Ipv4(*address);
  if (!reject && !destination) reject = h225::AdmissionRejectReason::calledPartyNotRegistered;
  const std::int64_t seq = body[A::requestSeqNum].Integer();
  if (reject) return Reject(M::admissionReject, seq, *reject);
  {
    std::lock_guard lock(mutex_);
    Call& call = calls_[Guid(body.Get(A::callIdentifier))];
    call.callIdentifier = Guid(body.Get(A::callIdentifier));
    call.conferenceID = body[A::conferenceID].Bytes();
    call.parties.push_back({endpointId, static_cast<std::uint16_t>(body[A::callReferenceValue].Integer()), false});
  }
  using C = h225::AdmissionConfirm;
  Value* b;
  Value acf = Make(M::admissionConfirm, seq, &b);
  b->Field(C::bandWidth).SetInteger(body[A::bandWidth].Integer());
  b->Field(C::callModel).Select(s.routed ? h225::CallModel::gatekeeperRouted : h225::CallModel::direct);
  asn::SetIpv4(b->Field(C::destCallSignalAddress), s.routed ? Local(signallingPort_) : *destination);
  if (s.irrFrequency) b->Field(C::irrFrequency).SetInteger(s.irrFrequency);
  if (!answerCall && !called.empty()) asn::SetAlias(b->Field(C::destinationInfo).Append(), called.front());
  b->Field(C::willRespondToIRR).SetBoolean(false);
  asn::CompleteMandatory(*b);
  return acf;
}

void TestGatekeeper::SendLater(Value message, const asio::ip::udp::endpoint& to, bool sign) {
  std::chrono::milliseconds delay;
  {
    std::lock_guard lock(mutex_);
    delay = script_.progressDelay;
  }
  const Signing signing = sign ? Signing::AsScript : Signing::None;
  if (delay.count() <= 0) return Send(std::move(message), to, signing);
  Value* b;
  Value rip = Make(M::requestInProgress, message.Alternative().Find("requestSeqNum")->Integer(), &b);
  b->Field(h225::RequestInProgress::delay).SetInteger(delay.count());
  Send(std::move(rip), to, Signing::None);
  auto timer = std::make_shared<asio::steady_timer>(io_, delay);
  timer->async_wait([this, timer, message = std::move(message), to, signing](std::error_code ec) {
    if (!ec) Send(message, to, signing);
  });
}

void TestGatekeeper::Send(Value message, const asio::ip::udp::endpoint& to, Signing signing) {
  std::optional<h235::H235AuthProcedure1::Hash> marker;
  std::string password;
  {
    std::lock_guard lock(mutex_);
    if (signing == Signing::WrongPassword || (signing == Signing::AsScript && script_.auth == Auth::Procedure1)) {
      password = signing == Signing::WrongPassword ? "not-" + script_.password : script_.password;
      marker = h235::H235AuthProcedure1::Hash{0xde, 0xad, 0xbe, 0xef, 1, 2, 3, 4, 5, 6, 7, 8};
      auto token = h235::H235AuthProcedure1::CreateCryptoToken(
          script_.identifier, endpointId_, static_cast<std::uint32_t>(std::time(nullptr)), 77, *marker);
      Value& body = message.Alternative();
      body.Field(static_cast<std::uint16_t>(body.IndexOf("cryptoTokens"))).Append(std::move(*token));
    }
  }
  auto bytes = asn::Encode(message);
  if (!bytes) return;
  if (marker) h235::H235AuthProcedure1::Sign(*bytes, *marker, password);
  std::error_code ignored;
  socket_.send_to(asio::buffer(*bytes), to, 0, ignored);
  std::lock_guard lock(mutex_);
  sent_.push_back({message.Choice(), to, std::chrono::steady_clock::now()});
}

unsigned TestGatekeeper::NextRequest(std::string* identifier) {
  std::lock_guard lock(mutex_);
  if (identifier) *identifier = script_.identifier;
  return ++seq_;
}

std::optional<Value> TestGatekeeper::Ask(Value request, unsigned seq, const Registration& to, Signing signing,
                                         std::chrono::milliseconds wait) {
  const std::size_t before = Messages().size();
  asio::post(
      io_, [this, request = std::move(request), to, signing]() mutable { Send(std::move(request), to.ras, signing); });
  std::optional<Value> answer;
  WaitUntil(
      [&](const std::vector<Received>& all) {
        for (std::size_t i = before; i < all.size() && !answer; ++i) {
          const Value* s = all[i].message.Alternative().Find("requestSeqNum");
          if (s && s->Integer() == seq && all[i].from == to.ras && !all[i].message.Is(M::registrationRequest))
            answer = all[i].message;
        }
        return answer.has_value();
      },
      wait);
  return answer;
}

std::optional<Value> TestGatekeeper::SendUnregistrationRequest(std::optional<std::uint16_t> reason,
                                                               std::chrono::milliseconds wait, Signing signing,
                                                               const std::string& alias) {
  auto target = TargetOf(alias);
  if (!target) return std::nullopt;
  ras::EndpointInfo gk;
  const unsigned seq = NextRequest(&gk.gatekeeperId);
  gk.callSignalAddress = Local(1721);
  gk.endpointId = target->endpointId;
  auto answer = Ask(ras::MakeUnregistrationRequest(seq, gk, reason), seq, *target, signing, wait);
  if (answer && answer->Is(M::unregistrationConfirm)) {
    std::lock_guard lock(mutex_);
    registrations_.erase(target->endpointId);
  }
  return answer;
}

std::optional<Value> TestGatekeeper::SendInfoRequest(std::chrono::milliseconds wait, std::uint16_t callReference,
                                                     const std::string& callIdentifier, Signing signing,
                                                     const std::string& alias) {
  using I = h225::InfoRequest;
  auto target = TargetOf(alias);
  if (!target) return std::nullopt;
  const unsigned seq = NextRequest();
  Value* b;
  Value irq = Make(M::infoRequest, seq, &b);
  b->Field(I::callReferenceValue).SetInteger(callReference);
  asn::SetIpv4(b->Field(I::replyAddress), Local(port_));
  if (!callIdentifier.empty()) b->Field(I::callIdentifier).Field(h225::CallIdentifier::guid).SetBytes(callIdentifier);
  asn::CompleteMandatory(*b);
  return Ask(std::move(irq), seq, *target, signing, wait);
}

std::optional<Value> TestGatekeeper::SendDisengageRequest(const std::string& callIdentifier, std::uint16_t reason,
                                                          std::chrono::milliseconds wait, Signing signing,
                                                          const std::string& endpointId, bool zeroIdentifier) {
  Registration target = *TargetOf("");
  ras::CallInfo about;
  about.callReference = 1;
  about.callIdentifier = zeroIdentifier ? std::string(16, '\0') : callIdentifier;
  about.conferenceID = std::string(16, '\0');
  {
    std::lock_guard lock(mutex_);
    if (auto call = calls_.find(callIdentifier); call != calls_.end()) {
      about.conferenceID = call->second.conferenceID;
      for (const CallParty& party : call->second.parties) {
        auto r = registrations_.find(party.endpointId);
        if ((endpointId.empty() ? party.disengaged : party.endpointId != endpointId) || r == registrations_.end())
          continue;
        target = r->second;
        about.callReference = party.callReference;
        break;
      }
    }
  }
  ras::EndpointInfo gk;
  const unsigned seq = NextRequest(&gk.gatekeeperId);
  gk.endpointId = target.endpointId.empty() ? std::string("-") : target.endpointId;
  auto answer = Ask(ras::MakeDisengageRequest(seq, gk, about, reason), seq, target, signing, wait);
  if (answer && answer->Is(M::disengageConfirm)) {
    std::lock_guard lock(mutex_);
    if (auto call = calls_.find(callIdentifier); call != calls_.end())
      for (CallParty& party : call->second.parties) party.disengaged |= party.endpointId == target.endpointId;
  }
  return answer;
}

std::size_t TestGatekeeper::DropCalls() {
  std::size_t confirmed = 0;
  for (const Call& call : Calls())
    for (const CallParty& party : call.parties) {
      if (party.disengaged) continue;
      auto answer = SendDisengageRequest(call.callIdentifier, h225::DisengageReason::forcedDrop,
                                         std::chrono::seconds(2), Signing::AsScript, party.endpointId);
      confirmed += answer && answer->Is(M::disengageConfirm);
    }
  return confirmed;
}

}  // namespace vantro::test
