#include "tests/support/RelayedCall.h"

#include "stack/asn/Defaults.h"
#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"
#include "tests/support/RelayedH245.h"

namespace vantro::test {

using asio::ip::tcp;
using asn::Value;
using q931::Q931Message;
namespace h225 = asn::h225;

namespace {

std::optional<Value> DecodeUuie(const Q931Message& message) {
  auto uu = message.UserUser();
  if (!uu) return std::nullopt;
  auto decoded = asn::Decode(h225::H323_UserInformation::Id, *uu);
  if (!decoded) return std::nullopt;
  return std::move(*decoded);
}

// The message body (Setup-UUIE, Connect-UUIE, ...) of an H323-UserInformation, or nullptr.
Value* Body(Value& uuie) {
  Value& body = uuie.Field(h225::H323_UserInformation::h323_uu_pdu).Field(h225::H323_UU_PDU::h323_message_body);
  return body.IsUnknownAlternative() ? nullptr : &body.Alternative();
}

std::uint64_t Key(const asn::Ipv4Address& a) {
  return (std::uint64_t{a.ip[0]} << 40) | (std::uint64_t{a.ip[1]} << 32) | (std::uint64_t{a.ip[2]} << 24) |
         (std::uint64_t{a.ip[3]} << 16) | a.port;
}

}  // namespace

RelayedCall::RelayedCall(tcp::socket caller, const asn::Ipv4Address& self, Resolver resolve,
                         std::shared_ptr<RelayLog> log, std::size_t number)
    : caller_(std::move(caller)),
      callee_(tcp::socket(caller_.socket.get_executor())),
      self_(self),
      resolve_(std::move(resolve)),
      log_(std::move(log)),
      number_(number) {
  caller_.connected = true;
}

RelayedCall::~RelayedCall() {
  std::lock_guard lock(log_->mutex);
  ++log_->callsEnded;
  log_->changed.notify_all();
}

void RelayedCall::Start() { Read(true); }

void RelayedCall::Read(bool fromCaller) {
  Leg& leg = LegOf(fromCaller);
  leg.socket.async_read_some(asio::buffer(leg.buffer),
                             [self = shared_from_this(), fromCaller](std::error_code ec, std::size_t n) {
                               Leg& leg = self->LegOf(fromCaller);
                               if (leg.closed) return;
                               if (ec) {
                                 self->OnClosed(fromCaller);
                                 return;
                               }
                               leg.reader.Feed({leg.buffer.data(), n});
                               std::vector<std::uint8_t> payload;
                               for (;;) {
                                 const auto status = leg.reader.Next(payload);
                                 if (status == q931::TpktReader::Status::NeedMore) break;
                                 if (status == q931::TpktReader::Status::Failed) {
                                   self->OnClosed(fromCaller);
                                   return;
                                 }
                                 self->OnMessage(fromCaller, payload);
                                 if (leg.closed) return;
                               }
                               self->Read(fromCaller);
                             });
}

void RelayedCall::OnMessage(bool fromCaller, const std::vector<std::uint8_t>& payload) {
  auto message = Q931Message::Decode(payload);
  if (!message) return;  // not Q.931: nothing to pass on
  if (!setupSeen_) {
    // A call begins with the caller's Setup; nothing else comes before it.
    if (fromCaller && message->Type() == Q931Message::Setup) OnSetup(std::move(*message));
    return;
  }
  if (ending_) return;
  Record(fromCaller, message->Type());
  std::vector<std::uint8_t> out = payload;
  if (auto uuie = DecodeUuie(*message); uuie && RewriteH245Address(*uuie, fromCaller)) {
    if (auto encoded = asn::Encode(*uuie)) {
      message->SetUserUser(*encoded);
      out = message->Encode();
    }
  }
  Write(!fromCaller, out);
  if (message->Type() == Q931Message::ReleaseComplete) {
    // Both connections close once what is queued for them is written.
    ending_ = true;
    Flush(fromCaller);
    if (!callee_.connected) CloseLeg(false);  // nothing queued can reach a callee not yet there
  }
}

void RelayedCall::OnSetup(Q931Message setup) {
  setupSeen_ = true;
  callReference_ = setup.CallReference();
  auto uuie = DecodeUuie(setup);
  Value* body = uuie ? Body(*uuie) : nullptr;
  if (!body || body->Type() != h225::Setup_UUIE::Id) {
    Release(true, h225::ReleaseCompleteReason::undefinedReason, q931::Cause::NormalUnspecified);
    return;
  }
  using S = h225::Setup_UUIE;
  if (const Value* id = body->Get(S::callIdentifier)) callIdentifier_ = (*id)[h225::CallIdentifier::guid].Bytes();
  std::vector<std::string> aliases;
  if (const Value* destinations = body->Get(S::destinationAddress))
    for (const Value& alias : destinations->Elements()) aliases.push_back(asn::AliasText(alias));
  if (auto called = setup.CalledPartyNumber()) aliases.push_back(called->digits);
  const auto callee = resolve_(aliases);
  if (!callee) {
    Release(true, h225::ReleaseCompleteReason::calledPartyNotRegistered, 1 /* unallocated number */);
    return;
  }
  asn::SetIpv4(body->Field(S::destCallSignalAddress), *callee);
  asn::SetIpv4(body->Field(S::sourceCallSignalAddress), self_);
  body->Remove(S::endpointIdentifier);  // the caller's, with this gatekeeper
  RewriteH245Address(*uuie, true);
  auto encoded = asn::Encode(*uuie);
  if (!encoded) {
    Release(true, h225::ReleaseCompleteReason::undefinedReason, q931::Cause::NormalUnspecified);
    return;
  }
  setup.SetUserUser(*encoded);
  Record(true, Q931Message::Setup);
  Write(false, setup.Encode());
  {
    std::lock_guard lock(log_->mutex);
    ++log_->setupsRelayed;
    log_->changed.notify_all();
  }
  callee_.socket.async_connect(
      tcp::endpoint(asio::ip::address_v4(callee->ip), callee->port), [self = shared_from_this()](std::error_code ec) {
        if (self->callee_.closed) return;
        if (ec) {
          self->callee_.closed = true;
          self->Release(true, h225::ReleaseCompleteReason::unreachableDestination, 27 /* destination out of order */);
          return;
        }
        self->callee_.connected = true;
        self->Flush(false);
        self->Read(false);
      });
}

bool RelayedCall::RewriteH245Address(Value& uuie, bool fromCaller) {
  Value* body = Body(uuie);
  const int index = body ? body->IndexOf("h245Address") : -1;
  if (index < 0 || !body->Has(static_cast<std::uint16_t>(index))) return false;
  Value& address = body->Field(static_cast<std::uint16_t>(index));
  const auto announced = asn::Ipv4(address);
  if (!announced) return false;
  auto& pipe = h245_[{fromCaller, Key(*announced)}];
  if (!pipe) {
    pipe = std::make_shared<RelayedH245>(caller_.socket.get_executor(), *announced, [log = log_] {
      std::lock_guard lock(log->mutex);
      ++log->h245Joined;
      log->changed.notify_all();
    });
    if (!pipe->Listen()) return false;
  }
  asn::SetIpv4(address, {{127, 0, 0, 1}, pipe->Port()});
  return true;
}

void RelayedCall::Write(bool toCaller, const std::vector<std::uint8_t>& payload) {
  Leg& leg = LegOf(toCaller);
  auto packet = q931::TpktFrame(payload);
  if (!packet || leg.closed) return;
  leg.queue.push_back(std::move(*packet));
  Flush(toCaller);
}

void RelayedCall::Flush(bool toCaller) {
  Leg& leg = LegOf(toCaller);
  if (!leg.connected || leg.writing || leg.closed) return;
  if (leg.queue.empty()) {
    if (ending_) CloseLeg(toCaller);
    return;
  }
  leg.writing = true;
  asio::async_write(leg.socket, asio::buffer(leg.queue.front()),
                    [self = shared_from_this(), toCaller](std::error_code ec, std::size_t) {
                      Leg& leg = self->LegOf(toCaller);
                      leg.writing = false;
                      if (leg.closed) return;
                      leg.queue.pop_front();
                      if (ec) {
                        self->OnClosed(toCaller);
                        return;
                      }
                      self->Flush(toCaller);
                    });
}

void RelayedCall::OnClosed(bool caller) {
  CloseLeg(caller);
  if (ending_) return;
  ending_ = true;
  // The other side learns that the call is over.
  if (setupSeen_)
    Release(!caller, h225::ReleaseCompleteReason::undefinedReason, q931::Cause::NormalUnspecified);
  else
    CloseLeg(!caller);
}

void RelayedCall::Release(bool toCaller, std::uint16_t reason, std::uint8_t cause) {
  using R = h225::ReleaseComplete_UUIE;
  Value uuie(h225::H323_UserInformation::Id);
  Value& pdu = uuie.Field(h225::H323_UserInformation::h323_uu_pdu);
  Value& rc =
      pdu.Field(h225::H323_UU_PDU::h323_message_body).Select(h225::H323_UU_PDU_h323_message_body::releaseComplete);
  rc.Field(R::protocolIdentifier).SetOid(asn::kH225ProtocolIdentifier);
  rc.Field(R::reason).Select(reason);
  if (callIdentifier_.size() == 16)
    rc.Field(R::callIdentifier).Field(h225::CallIdentifier::guid).SetBytes(callIdentifier_);
  pdu.Field(h225::H323_UU_PDU::h245Tunneling).SetBoolean(false);
  asn::CompleteMandatory(uuie);
  Q931Message message(Q931Message::ReleaseComplete, callReference_, toCaller);
  message.SetCause({0, 0, cause, {}});
  if (auto encoded = asn::Encode(uuie)) message.SetUserUser(*encoded);
  ending_ = true;
  Record(!toCaller, Q931Message::ReleaseComplete);
  Write(toCaller, message.Encode());
  Flush(toCaller);
  if (!LegOf(toCaller).connected) CloseLeg(toCaller);
  if (!LegOf(!toCaller).closed && LegOf(!toCaller).queue.empty()) CloseLeg(!toCaller);
}

void RelayedCall::CloseLeg(bool caller) {
  Leg& leg = LegOf(caller);
  if (leg.closed) return;
  leg.closed = true;
  std::error_code ignored;
  leg.socket.shutdown(tcp::socket::shutdown_both, ignored);
  leg.socket.close(ignored);
  if (caller_.closed && callee_.closed)
    for (auto& [key, pipe] : h245_) pipe->Close();
}

void RelayedCall::Close() {
  ending_ = true;
  CloseLeg(true);
  CloseLeg(false);
}

void RelayedCall::Record(bool fromCaller, std::uint8_t type) {
  std::lock_guard lock(log_->mutex);
  log_->messages.push_back({number_, fromCaller, type});
  log_->changed.notify_all();
}

}  // namespace vantro::test
