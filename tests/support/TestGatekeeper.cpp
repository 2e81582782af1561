#include "tests/support/TestGatekeeper.h"

#include "stack/asn/Defaults.h"
#include "stack/asn/H323Values.h"
#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"
#include "stack/asn/generated/H235.h"
#include "stack/h235/H235AuthCAT.h"
#include "stack/h235/H235AuthProcedure1.h"
#include "stack/h235/H235AuthSimpleMD5.h"

#include <ctime>

namespace vantro::test {

using asn::Value;
namespace h225 = asn::h225;
using h235::TokenCheck;

namespace {

Value ras(std::uint16_t kind, Value** body) {
  Value msg(h225::RasMessage::Id);
  *body = &msg.select(kind);
  return msg;
}

const Value* field(const Value& body, const char* name) {
  const int i = body.indexOf(name);
  return i < 0 ? nullptr : body.get(static_cast<std::uint16_t>(i));
}

}  // namespace

TestGatekeeper::TestGatekeeper() : TestGatekeeper(Script{}) {}

TestGatekeeper::TestGatekeeper(Script script) : socket_(io_), script_(std::move(script)) {
  socket_.open(asio::ip::udp::v4());
  socket_.bind(asio::ip::udp::endpoint(asio::ip::address_v4::loopback(), 0));
  port_ = socket_.local_endpoint().port();
  Receive();
  thread_ = std::thread([this] { io_.run(); });
}

TestGatekeeper::~TestGatekeeper() {
  asio::post(io_, [this] {
    std::error_code ignored;
    socket_.close(ignored);
  });
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

std::vector<TestGatekeeper::Received> TestGatekeeper::MessagesOf(std::uint16_t kind) const {
  std::vector<Received> out;
  for (auto& r : Messages())
    if (r.message.is(kind)) out.push_back(r);
  return out;
}

std::vector<TestGatekeeper::Received> TestGatekeeper::RegistrationRequests(bool keepAlive) const {
  std::vector<Received> out;
  for (auto& r : MessagesOf(h225::RasMessage::registrationRequest))
    if (r.message.alternative()[h225::RegistrationRequest::keepAlive].boolean() == keepAlive) out.push_back(r);
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
      seen = received_.size();
    }
    if (pred(now)) return true;
    std::unique_lock lock(mutex_);
    if (!changed_.wait_until(lock, deadline, [&] { return received_.size() != seen; })) return false;
  }
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
    if (!ec) OnDatagram(std::vector<std::uint8_t>(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n)), from_);
    Receive();
  });
}

void TestGatekeeper::OnDatagram(std::vector<std::uint8_t> bytes, const asio::ip::udp::endpoint& from) {
  auto decoded = asn::decode(h225::RasMessage::Id, bytes);
  if (!decoded) return;
  {
    std::lock_guard lock(mutex_);
    received_.push_back(Received{*decoded, bytes, from, std::chrono::steady_clock::now()});
  }
  changed_.notify_all();
  Answer(*decoded, bytes, from);
}

bool TestGatekeeper::CheckTokens(const Value& message, std::span<const std::uint8_t> bytes) {
  Script s;
  {
    std::lock_guard lock(mutex_);
    s = script_;
  }
  const Value& body = message.alternative();
  bool md5 = false, cat = false, p1 = false;
  if (const Value* tokens = field(body, "cryptoTokens"))
    for (const Value& t : tokens->elements()) {
      md5 = md5 || h235::H235AuthSimpleMD5::Validate(t, s.password) == TokenCheck::Ok;
      p1 = p1 || h235::H235AuthProcedure1::Validate(bytes, t, s.password) == TokenCheck::Ok;
    }
  if (const Value* tokens = field(body, "tokens"))
    for (const Value& t : tokens->elements()) cat = cat || h235::H235AuthCAT::Validate(t, s.password) == TokenCheck::Ok;
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
  const Value& body = request.alternative();
  const Value* seqValue = body.find("requestSeqNum");
  const std::int64_t seq = seqValue ? seqValue->integer() : 0;
  Value* b;
  if (request.is(h225::RasMessage::gatekeeperRequest)) {
    if (!s.answerDiscovery) return;
    if (s.discoveryReject) {
      Value grj = ras(h225::RasMessage::gatekeeperReject, &b);
      b->field(h225::GatekeeperReject::requestSeqNum).setInteger(seq);
      b->field(h225::GatekeeperReject::protocolIdentifier).setOid(asn::kH225ProtocolIdentifier);
      b->field(h225::GatekeeperReject::rejectReason).select(*s.discoveryReject);
      asn::completeMandatory(*b);
      SendLater(std::move(grj), from, false);
      return;
    }
    using G = h225::GatekeeperConfirm;
    Value gcf = ras(h225::RasMessage::gatekeeperConfirm, &b);
    b->field(G::requestSeqNum).setInteger(seq);
    b->field(G::protocolIdentifier).setOid(asn::kH225ProtocolIdentifier);
    b->field(G::gatekeeperIdentifier).setText(s.identifier);
    asn::setIpv4(b->field(G::rasAddress), {{127, 0, 0, 1}, port_});
    const std::vector<std::uint32_t>* algorithm = nullptr;
    static const std::vector<std::uint32_t> md5(h235::kOidMd5.begin(), h235::kOidMd5.end());
    static const std::vector<std::uint32_t> cat(h235::kOidCat.begin(), h235::kOidCat.end());
    static const std::vector<std::uint32_t> p1(h235::kOidHmacSha1_96.begin(), h235::kOidHmacSha1_96.end());
    if (s.auth == Auth::Md5) algorithm = &md5;
    if (s.auth == Auth::Cat) algorithm = &cat;
    if (s.auth == Auth::Procedure1) algorithm = &p1;
    if (algorithm) {
      if (s.auth == Auth::Cat)
        b->field(G::authenticationMode).select(asn::h235::AuthenticationMechanism::authenticationBES).select(asn::h235::AuthenticationBES::radius);
      else
        b->field(G::authenticationMode).select(asn::h235::AuthenticationMechanism::pwdHash);
      b->field(G::algorithmOID).setOid(*algorithm);
    }
    SendLater(std::move(gcf), from, false);
    return;
  }

  if (request.is(h225::RasMessage::registrationRequest)) {
    using R = h225::RegistrationRequest;
    const bool keepAlive = body[R::keepAlive].boolean();
    const bool tokensOk = CheckTokens(request, bytes);
    {
      std::lock_guard lock(mutex_);
      lastTokensValid_ = tokensOk;
    }
    std::optional<std::uint16_t> reject;
    if (keepAlive) {
      if (!s.answerKeepAlive) return;
      std::lock_guard lock(mutex_);
      const Value* id = body.get(R::endpointIdentifier);
      if (script_.keepAlivesNeedingFullRegistration > 0 || !id || id->text() != endpointId_) {
        if (script_.keepAlivesNeedingFullRegistration > 0) --script_.keepAlivesNeedingFullRegistration;
        reject = h225::RegistrationRejectReason::fullRegistrationRequired;
      }
    } else {
      if (!s.answerRegistration) return;
      reject = s.registrationReject;
    }
    if (!reject && !tokensOk) reject = h225::RegistrationRejectReason::securityDenial;
    if (reject) {
      using J = h225::RegistrationReject;
      Value rrj = ras(h225::RasMessage::registrationReject, &b);
      b->field(J::requestSeqNum).setInteger(seq);
      b->field(J::protocolIdentifier).setOid(asn::kH225ProtocolIdentifier);
      Value& reason = b->field(J::rejectReason).select(*reject);
      asn::completeMandatory(reason);
      b->field(J::gatekeeperIdentifier).setText(s.identifier);
      SendLater(std::move(rrj), from, false);
      return;
    }
    std::string id;
    {
      std::lock_guard lock(mutex_);
      if (!keepAlive) endpointId_ = "ep" + std::to_string(nextEndpoint_++) + "_" + s.identifier;
      id = endpointId_;
      if (auto ras = asn::ipv4(body[R::rasAddress].at(0))) endpointRas_ = {asio::ip::address_v4(ras->ip), ras->port};
    }
    using C = h225::RegistrationConfirm;
    Value rcf = ras(h225::RasMessage::registrationConfirm, &b);
    b->field(C::requestSeqNum).setInteger(seq);
    b->field(C::protocolIdentifier).setOid(asn::kH225ProtocolIdentifier);
    asn::setIpv4(b->field(C::callSignalAddress).append(), {{127, 0, 0, 1}, 1721});
    if (const Value* aliases = body.get(R::terminalAlias))
      for (const Value& alias : aliases->elements()) b->field(C::terminalAlias).append(alias);
    b->field(C::gatekeeperIdentifier).setText(s.identifier);
    b->field(C::endpointIdentifier).setText(id);
    const Value* asked = body.get(R::timeToLive);
    if (s.grantedTimeToLive || asked) b->field(C::timeToLive).setInteger(s.grantedTimeToLive ? s.grantedTimeToLive : asked->integer());
    b->field(C::willRespondToIRR).setBoolean(false);
    b->field(C::maintainConnection).setBoolean(false);
    asn::completeMandatory(*b);
    SendLater(std::move(rcf), from, s.auth == Auth::Procedure1);
    return;
  }

  if (request.is(h225::RasMessage::unregistrationRequest)) {
    Value ucf = ras(h225::RasMessage::unregistrationConfirm, &b);
    b->field(h225::UnregistrationConfirm::requestSeqNum).setInteger(seq);
    {
      std::lock_guard lock(mutex_);
      endpointId_.clear();
    }
    Send(std::move(ucf), from, s.auth == Auth::Procedure1);
  }
}

void TestGatekeeper::SendLater(Value message, const asio::ip::udp::endpoint& to, bool sign) {
  std::chrono::milliseconds delay;
  {
    std::lock_guard lock(mutex_);
    delay = script_.progressDelay;
  }
  if (delay.count() <= 0) {
    Send(std::move(message), to, sign);
    return;
  }
  Value* b;
  Value rip = ras(h225::RasMessage::requestInProgress, &b);
  b->field(h225::RequestInProgress::requestSeqNum).setInteger(message.alternative().find("requestSeqNum")->integer());
  b->field(h225::RequestInProgress::delay).setInteger(delay.count());
  Send(std::move(rip), to, false);
  auto timer = std::make_shared<asio::steady_timer>(io_, delay);
  timer->async_wait([this, timer, message = std::move(message), to, sign](std::error_code ec) {
    if (!ec) Send(message, to, sign);
  });
}

void TestGatekeeper::Send(Value message, const asio::ip::udp::endpoint& to, bool sign) {
  std::optional<h235::H235AuthProcedure1::Hash> marker;
  std::string password;
  if (sign) {
    std::lock_guard lock(mutex_);
    password = script_.password;
    marker = h235::H235AuthProcedure1::Hash{0xde, 0xad, 0xbe, 0xef, 1, 2, 3, 4, 5, 6, 7, 8};
    auto token = h235::H235AuthProcedure1::CreateCryptoToken(script_.identifier, endpointId_,
                                                             static_cast<std::uint32_t>(std::time(nullptr)), 77, *marker);
    Value& body = message.alternative();
    body.field(static_cast<std::uint16_t>(body.indexOf("cryptoTokens"))).append(std::move(*token));
  }
  auto bytes = asn::encode(message);
  if (!bytes) return;
  if (marker) h235::H235AuthProcedure1::Sign(*bytes, *marker, password);
  std::error_code ignored;
  socket_.send_to(asio::buffer(*bytes), to, 0, ignored);
}

std::optional<Value> TestGatekeeper::Ask(Value request, unsigned seq, std::chrono::milliseconds wait) {
  asio::ip::udp::endpoint to;
  bool sign;
  std::size_t before;
  {
    std::lock_guard lock(mutex_);
    to = endpointRas_;
    sign = script_.auth == Auth::Procedure1;
    before = received_.size();
  }
  asio::post(io_, [this, request = std::move(request), to, sign]() mutable { Send(std::move(request), to, sign); });
  std::optional<Value> answer;
  WaitUntil(
      [&](const std::vector<Received>& all) {
        for (std::size_t i = before; i < all.size(); ++i) {
          const Value* s = all[i].message.alternative().find("requestSeqNum");
          if (s && s->integer() == seq && !all[i].message.is(h225::RasMessage::registrationRequest)) {
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
                                                               std::chrono::milliseconds wait) {
  using U = h225::UnregistrationRequest;
  Value* b;
  Value urq = ras(h225::RasMessage::unregistrationRequest, &b);
  unsigned seq;
  std::string id, gk;
  {
    std::lock_guard lock(mutex_);
    seq = ++seq_;
    id = endpointId_;
    gk = script_.identifier;
  }
  b->field(U::requestSeqNum).setInteger(seq);
  asn::setIpv4(b->field(U::callSignalAddress).append(), {{127, 0, 0, 1}, 1721});
  if (!id.empty()) b->field(U::endpointIdentifier).setText(id);
  b->field(U::gatekeeperIdentifier).setText(gk);
  if (reason) b->field(U::reason).select(*reason);
  return Ask(std::move(urq), seq, wait);
}

std::optional<Value> TestGatekeeper::SendInfoRequest(std::chrono::milliseconds wait) {
  using I = h225::InfoRequest;
  Value* b;
  Value irq = ras(h225::RasMessage::infoRequest, &b);
  unsigned seq;
  {
    std::lock_guard lock(mutex_);
    seq = ++seq_;
  }
  b->field(I::requestSeqNum).setInteger(seq);
  b->field(I::callReferenceValue).setInteger(0);
  asn::setIpv4(b->field(I::replyAddress), {{127, 0, 0, 1}, port_});
  asn::completeMandatory(*b);
  return Ask(std::move(irq), seq, wait);
}

}  // namespace vantro::test
