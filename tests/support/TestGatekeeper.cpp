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

namespace {

// A RAS message of this kind with its sequence number, and the protocol identifier where it has one.
Value Make(std::uint16_t kind, std::int64_t seq, Value** body) {
  Value msg(h225::RasMessage::Id);
  Value& b = *(*body = &msg.Select(kind));
  b.Field(static_cast<std::uint16_t>(b.IndexOf("requestSeqNum"))).SetInteger(seq);
  if (const int i = b.IndexOf("protocolIdentifier"); i >= 0)
    b.Field(static_cast<std::uint16_t>(i)).SetOid(asn::kH225ProtocolIdentifier);
  return msg;
}

const Value* field(const Value& body, const char* name) {
  const int i = body.IndexOf(name);
  return i < 0 ? nullptr : body.Get(static_cast<std::uint16_t>(i));
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
    : socket_(io_),
      relay_(io_, signallingPort,
             [this](const std::vector<std::string>& aliases) { return registry_.Resolve(aliases); }),
      script_(std::move(script)) {
  socket_.open(asio::ip::udp::v4());
  socket_.bind(asio::ip::udp::endpoint(asio::ip::address_v4::loopback(), rasPort));
  port_ = socket_.local_endpoint().port();
  Receive();
  thread_ = std::thread([this] { io_.run(); });
}

TestGatekeeper::~TestGatekeeper() {
  std::promise<void> closed;
  asio::post(io_, [this, &closed] {
    std::error_code ignored;
    socket_.close(ignored);
    relay_.Close();
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

std::vector<TestGatekeeper::Received> TestGatekeeper::Messages() const {
  std::lock_guard lock(mutex_);
  return received_;
}

std::vector<TestGatekeeper::Sent> TestGatekeeper::SentMessages() const {
  std::lock_guard lock(mutex_);
  return sent_;
}

std::vector<TestGatekeeper::Received> TestGatekeeper::MessagesOf(std::uint16_t kind) const {
  std::vector<Received> out;
  for (auto& r : Messages())
    if (r.message.Is(kind)) out.push_back(r);
  return out;
}

std::vector<TestGatekeeper::Received> TestGatekeeper::RegistrationRequests(bool keepAlive) const {
  std::vector<Received> out;
  for (auto& r : MessagesOf(h225::RasMessage::registrationRequest))
    if (r.message.Alternative()[h225::RegistrationRequest::keepAlive].Boolean() == keepAlive) out.push_back(r);
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

std::string TestGatekeeper::EndpointId() const {
  std::lock_guard lock(mutex_);
  return endpointId_;
}

bool TestGatekeeper::LastTokensValid() const {
  std::lock_guard lock(mutex_);
  return lastTokensValid_;
}

void TestGatekeeper::Receive() {
  socket_.async_receive_from(asio::buffer(buffer_), from_, [this](std::error_code ec, std::size_t n) {
    if (ec == asio::error::operation_aborted || !socket_.is_open()) return;
    if (!ec)
      OnDatagram(std::vector<std::uint8_t>(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n)), from_);
    Receive();
  });
}

void TestGatekeeper::OnDatagram(std::vector<std::uint8_t> bytes, const asio::ip::udp::endpoint& from) {
  auto decoded = asn::Decode(h225::RasMessage::Id, bytes);
  if (!decoded || decoded->IsUnknownAlternative()) return;
  {
    std::lock_guard lock(mutex_);
    received_.push_back(Received{*decoded, bytes, from, std::chrono::steady_clock::now()});
  }
  Answer(*decoded, bytes, from);
  // Waiters wake once the message has been answered, so that they see what it changed.
  {
    std::lock_guard lock(mutex_);
    ++handled_;
  }
  changed_.notify_all();
}

bool TestGatekeeper::CheckTokens(const Value& message, std::span<const std::uint8_t> bytes) {
  Script s;
  {
    std::lock_guard lock(mutex_);
    s = script_;
  }
  const Value& body = message.Alternative();
  bool md5 = false, cat = false, p1 = false;
  if (const Value* tokens = field(body, "cryptoTokens"))
    for (const Value& t : tokens->Elements()) {
      md5 = md5 || h235::H235AuthSimpleMD5::Validate(t, s.password) == TokenCheck::Ok;
      p1 = p1 || h235::H235AuthProcedure1::Validate(bytes, t, s.password) == TokenCheck::Ok;
    }
  if (const Value* tokens = field(body, "tokens"))
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
  using M = h225::RasMessage;
  switch (request.Choice()) {
    case M::gatekeeperRequest: AnswerDiscovery(body[h225::GatekeeperRequest::requestSeqNum].Integer(), s, from); break;
    case M::registrationRequest: {
      const bool tokensOk = CheckTokens(request, bytes);
      {
        std::lock_guard lock(mutex_);
        lastTokensValid_ = tokensOk;
      }
      AnswerRegistration(body, tokensOk, s, from);
      break;
    }
    case M::admissionRequest: AnswerAdmission(body, CheckTokens(request, bytes), s, from); break;
    case M::disengageRequest: AnswerDisengage(body, s, from); break;
    case M::unregistrationRequest: AnswerUnregistration(body, s, from); break;
    default: break;
  }
}

void TestGatekeeper::AnswerDiscovery(std::int64_t seq, const Script& s, const asio::ip::udp::endpoint& from) {
  if (!s.answerDiscovery) return;
  Value* b;
  if (s.discoveryReject) {
    Value grj = Make(h225::RasMessage::gatekeeperReject, seq, &b);
    b->Field(h225::GatekeeperReject::rejectReason).Select(*s.discoveryReject);
    asn::CompleteMandatory(*b);
    SendLater(std::move(grj), from, false);
    return;
  }
  using G = h225::GatekeeperConfirm;
  Value gcf = Make(h225::RasMessage::gatekeeperConfirm, seq, &b);
  b->Field(G::gatekeeperIdentifier).SetText(s.identifier);
  asn::SetIpv4(b->Field(G::rasAddress), {{127, 0, 0, 1}, port_});
  if (s.auth == Auth::Cat) {
    b->Field(G::authenticationMode)
        .Select(asn::h235::AuthenticationMechanism::authenticationBES)
        .Select(asn::h235::AuthenticationBES::radius);
    b->Field(G::algorithmOID).SetOid(h235::kOidCat);
  } else if (s.auth == Auth::Md5 || s.auth == Auth::Procedure1) {
    b->Field(G::authenticationMode).Select(asn::h235::AuthenticationMechanism::pwdHash);
    if (s.auth == Auth::Md5)
      b->Field(G::algorithmOID).SetOid(h235::kOidMd5);
    else
      b->Field(G::algorithmOID).SetOid(h235::kOidHmacSha1_96);
  }
  SendLater(std::move(gcf), from, false);
}

void TestGatekeeper::AnswerRegistration(const Value& body, bool tokensOk, const Script& s,
                                        const asio::ip::udp::endpoint& from) {
  using R = h225::RegistrationRequest;
  const std::int64_t seq = body[R::requestSeqNum].Integer();
  const bool keepAlive = body[R::keepAlive].Boolean();
  std::optional<std::uint16_t> reject;
  if (keepAlive) {
    if (!s.answerKeepAlive) return;
    std::lock_guard lock(mutex_);
    const Value* id = body.Get(R::endpointIdentifier);
    if (script_.keepAlivesNeedingFullRegistration > 0 || !id || !registry_.Has(id->Text())) {
      if (script_.keepAlivesNeedingFullRegistration > 0) --script_.keepAlivesNeedingFullRegistration;
      reject = h225::RegistrationRejectReason::fullRegistrationRequired;
    }
  } else {
    if (!s.answerRegistration) return;
    reject = s.registrationReject;
  }
  if (!reject && !tokensOk) reject = h225::RegistrationRejectReason::securityDenial;
  Value* b;
  if (reject) {
    using J = h225::RegistrationReject;
    Value rrj = Make(h225::RasMessage::registrationReject, seq, &b);
    Value& reason = b->Field(J::rejectReason).Select(*reject);
    asn::CompleteMandatory(reason);
    b->Field(J::gatekeeperIdentifier).SetText(s.identifier);
    SendLater(std::move(rrj), from, false);
    return;
  }
  std::string id;
  if (keepAlive) {
    id = body[R::endpointIdentifier].Text();
  } else {
    Registration r;
    r.aliases = Aliases(body.Get(R::terminalAlias));
    if (auto ras = asn::Ipv4(body[R::rasAddress].At(0))) r.ras = {asio::ip::address_v4(ras->ip), ras->port};
    if (body[R::callSignalAddress].Size() > 0)
      if (auto cs = asn::Ipv4(body[R::callSignalAddress].At(0))) r.callSignal = *cs;
    const asio::ip::udp::endpoint ras = r.ras;
    id = registry_.Add(std::move(r), s.identifier);
    std::lock_guard lock(mutex_);
    endpointId_ = id;
    endpointRas_ = ras;
  }
  using C = h225::RegistrationConfirm;
  Value rcf = Make(h225::RasMessage::registrationConfirm, seq, &b);
  asn::SetIpv4(b->Field(C::callSignalAddress).Append(), {{127, 0, 0, 1}, relay_.Port()});
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
  SendLater(std::move(rcf), from, s.auth == Auth::Procedure1);
}

void TestGatekeeper::AnswerAdmission(const Value& body, bool tokensOk, const Script& s,
                                     const asio::ip::udp::endpoint& from) {
  using A = h225::AdmissionRequest;
  if (!s.answerAdmission) return;
  const std::int64_t seq = body[A::requestSeqNum].Integer();
  const bool answerCall = body[A::answerCall].Boolean();
  const std::string endpointId = body[A::endpointIdentifier].Text();
  const asn::Ipv4Address relay{{127, 0, 0, 1}, relay_.Port()};
  std::optional<std::uint16_t> reject;
  std::optional<asn::Ipv4Address> destination;
  const std::optional<Registration> caller = registry_.Find(endpointId);
  const std::vector<std::string> called = Aliases(body.Get(A::destinationInfo));
  if (!caller) {
    reject = h225::AdmissionRejectReason::callerNotRegistered;
  } else if (!tokensOk) {
    reject = h225::AdmissionRejectReason::securityDenial;
  } else if (s.admissionReject) {
    reject = s.admissionReject;
  } else if (answerCall && s.answerCallReject) {
    reject = s.answerCallReject;
  } else if (answerCall) {
    destination = s.routed ? relay : caller->callSignal;
  } else if (auto callee = registry_.Resolve(called)) {
    destination = s.routed ? relay : *callee;
  } else if (const Value* address = body.Get(A::destCallSignalAddress); address && called.empty()) {
    destination = s.routed ? relay : asn::Ipv4(*address);
  } else {
    reject = h225::AdmissionRejectReason::calledPartyNotRegistered;
  }
  if (!reject && !destination) reject = h225::AdmissionRejectReason::incompleteAddress;
  Value* b;
  if (reject) {
    Value arj = Make(h225::RasMessage::admissionReject, seq, &b);
    b->Field(h225::AdmissionReject::rejectReason).Select(*reject);
    asn::CompleteMandatory(*b);
    SendLater(std::move(arj), from, s.auth == Auth::Procedure1);
    return;
  }
  registry_.Admitted(
      Guid(body.Get(A::callIdentifier)), body[A::conferenceID].Bytes(),
      {endpointId, static_cast<std::uint16_t>(body[A::callReferenceValue].Integer()), answerCall, false});
  using C = h225::AdmissionConfirm;
  Value acf = Make(h225::RasMessage::admissionConfirm, seq, &b);
  b->Field(C::bandWidth).SetInteger(body[A::bandWidth].Integer());
  b->Field(C::callModel).Select(s.routed ? h225::CallModel::gatekeeperRouted : h225::CallModel::direct);
  asn::SetIpv4(b->Field(C::destCallSignalAddress), *destination);
  if (s.irrFrequency) b->Field(C::irrFrequency).SetInteger(s.irrFrequency);
  if (!answerCall && !called.empty()) asn::SetAlias(b->Field(C::destinationInfo).Append(), called.front());
  b->Field(C::willRespondToIRR).SetBoolean(false);
  asn::CompleteMandatory(*b);
  SendLater(std::move(acf), from, s.auth == Auth::Procedure1);
}

void TestGatekeeper::AnswerDisengage(const Value& body, const Script& s, const asio::ip::udp::endpoint& from) {
  using D = h225::DisengageRequest;
  if (!s.answerDisengage) return;
  const std::int64_t seq = body[D::requestSeqNum].Integer();
  const std::string endpointId = body[D::endpointIdentifier].Text();
  const bool known = registry_.Has(endpointId);
  registry_.Disengaged(Guid(body.Get(D::callIdentifier)), endpointId);
  const auto answerSeq = static_cast<unsigned>(seq);
  SendLater(known ? ras::MakeDisengageConfirm(answerSeq)
                  : ras::MakeDisengageReject(answerSeq, h225::DisengageRejectReason::notRegistered),
            from, s.auth == Auth::Procedure1);
}

void TestGatekeeper::AnswerUnregistration(const Value& body, const Script& s, const asio::ip::udp::endpoint& from) {
  Value ucf =
      ras::MakeUnregistrationConfirm(static_cast<unsigned>(body[h225::UnregistrationRequest::requestSeqNum].Integer()));
  if (const Value* id = body.Get(h225::UnregistrationRequest::endpointIdentifier)) registry_.Remove(id->Text());
  registry_.RemoveAt(from);
  {
    std::lock_guard lock(mutex_);
    endpointId_.clear();
  }
  Send(std::move(ucf), from, s.auth == Auth::Procedure1 ? Signing::AsScript : Signing::None);
}

void TestGatekeeper::SendLater(Value message, const asio::ip::udp::endpoint& to, bool sign) {
  std::chrono::milliseconds delay;
  {
    std::lock_guard lock(mutex_);
    delay = script_.progressDelay;
  }
  const Signing signing = sign ? Signing::AsScript : Signing::None;
  if (delay.count() <= 0) {
    Send(std::move(message), to, signing);
    return;
  }
  Value* b;
  Value rip = Make(h225::RasMessage::requestInProgress, message.Alternative().Find("requestSeqNum")->Integer(), &b);
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

std::optional<TestGatekeeper::Target> TestGatekeeper::TargetOf(const std::string& alias) const {
  if (!alias.empty()) {
    auto r = registry_.FindAlias(alias);
    return r ? std::optional<Target>(Target{r->ras, r->endpointId}) : std::nullopt;
  }
  std::lock_guard lock(mutex_);
  return Target{endpointRas_, endpointId_};
}

unsigned TestGatekeeper::NextRequest(std::string* identifier) {
  std::lock_guard lock(mutex_);
  if (identifier) *identifier = script_.identifier;
  return ++seq_;
}

std::optional<Value> TestGatekeeper::Ask(Value request, unsigned seq, const Target& to, Signing signing,
                                         std::chrono::milliseconds wait) {
  std::size_t before;
  {
    std::lock_guard lock(mutex_);
    before = received_.size();
  }
  asio::post(
      io_, [this, request = std::move(request), to, signing]() mutable { Send(std::move(request), to.ras, signing); });
  std::optional<Value> answer;
  WaitUntil(
      [&](const std::vector<Received>& all) {
        for (std::size_t i = before; i < all.size(); ++i) {
          const Value* s = all[i].message.Alternative().Find("requestSeqNum");
          if (s && s->Integer() == seq && all[i].from == to.ras &&
              !all[i].message.Is(h225::RasMessage::registrationRequest)) {
            answer = all[i].message;
            return true;
          }
        }
        return false;
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
  gk.callSignalAddress = {{127, 0, 0, 1}, 1721};
  gk.endpointId = target->endpointId;
  auto answer = Ask(ras::MakeUnregistrationRequest(seq, gk, reason), seq, *target, signing, wait);
  if (answer && answer->Is(h225::RasMessage::unregistrationConfirm)) registry_.Remove(target->endpointId);
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
  Value irq = Make(h225::RasMessage::infoRequest, seq, &b);
  b->Field(I::callReferenceValue).SetInteger(callReference);
  asn::SetIpv4(b->Field(I::replyAddress), {{127, 0, 0, 1}, port_});
  if (!callIdentifier.empty()) b->Field(I::callIdentifier).Field(h225::CallIdentifier::guid).SetBytes(callIdentifier);
  asn::CompleteMandatory(*b);
  return Ask(std::move(irq), seq, *target, signing, wait);
}

std::optional<Value> TestGatekeeper::SendDisengageRequest(const std::string& callIdentifier, std::uint16_t reason,
                                                          std::chrono::milliseconds wait, Signing signing,
                                                          const std::string& endpointId, bool zeroIdentifier) {
  Target target = *TargetOf("");
  ras::CallInfo about;
  about.callReference = 1;
  about.callIdentifier = zeroIdentifier ? std::string(16, '\0') : callIdentifier;
  about.conferenceID = std::string(16, '\0');
  ras::EndpointInfo gk;
  const unsigned seq = NextRequest(&gk.gatekeeperId);
  if (auto call = registry_.FindCall(callIdentifier)) {
    about.conferenceID = call->conferenceID;
    for (const CallParty& party : call->parties) {
      if (endpointId.empty() ? party.disengaged : party.endpointId != endpointId) continue;
      auto r = registry_.Find(party.endpointId);
      if (!r) continue;
      target = {r->ras, party.endpointId};
      about.callReference = party.callReference;
      break;
    }
  }
  gk.endpointId = target.endpointId.empty() ? std::string("-") : target.endpointId;
  auto answer = Ask(ras::MakeDisengageRequest(seq, gk, about, reason), seq, target, signing, wait);
  if (answer && answer->Is(h225::RasMessage::disengageConfirm)) registry_.Disengaged(callIdentifier, target.endpointId);
  return answer;
}

std::size_t TestGatekeeper::DropCalls() {
  std::vector<std::pair<std::string, std::string>> parties;  // call identifier, endpoint identifier
  for (const Call& call : Calls())
    for (const CallParty& party : call.parties)
      if (!party.disengaged) parties.emplace_back(call.callIdentifier, party.endpointId);
  std::size_t confirmed = 0;
  for (auto& [call, endpoint] : parties) {
    auto answer = SendDisengageRequest(call, h225::DisengageReason::forcedDrop, std::chrono::seconds(2),
                                       Signing::AsScript, endpoint);
    if (answer && answer->Is(h225::RasMessage::disengageConfirm)) ++confirmed;
  }
  return confirmed;
}

}  // namespace vantro::test
