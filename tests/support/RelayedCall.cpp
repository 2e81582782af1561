#include "tests/support/RelayedCall.h"

#include "stack/h225/H225MessageBuilder.h"
#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"
#include "tests/support/RelayedH245.h"

namespace vantro::test {

using asio::ip::tcp;
using asn::Value;
using q931::Q931Message;
using vantro::h225::H225Message;
using vantro::h225::H225MessageBuilder;
namespace h225 = asn::h225;

RelayedCall::RelayedCall(tcp::socket caller, const asn::Ipv4Address& self, Resolver resolve,
                         std::shared_ptr<RelayLog> log)
    : caller_(std::move(caller)),
      callee_(tcp::socket(caller_.socket.get_executor())),
      self_(self),
      resolve_(std::move(resolve)),
      log_(std::move(log)) {
  caller_.connected = true;
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
  auto message = H225Message::Decode(payload);
  if (!message) return;  // not Q.931: nothing to pass on
  if (!setupSeen_) {
    // A call begins with the caller's Setup; nothing else comes before it.
    if (fromCaller && message->Type() == Q931Message::Setup) OnSetup(std::move(*message));
    return;
  }
  if (ending_) return;
  std::optional<std::vector<std::uint8_t>> rewritten;
  if (RewriteH245Address(*message, fromCaller)) rewritten = message->Encode();
  Write(!fromCaller, rewritten ? *rewritten : payload);
  if (message->Type() == Q931Message::ReleaseComplete) {
    // Both connections close once what is queued for them is written.
    ending_ = true;
    Flush(fromCaller);
    if (!callee_.connected) CloseLeg(false);  // nothing queued can reach a callee not yet there
  }
}

void RelayedCall::OnSetup(H225Message setup) {
  setupSeen_ = true;
  callReference_ = setup.CallReference();
  if (setup.BodyType() != h225::H323_UU_PDU_h323_message_body::setup) {
    Release(true, h225::ReleaseCompleteReason::undefinedReason, q931::Cause::NormalUnspecified);
    return;
  }
  using S = h225::Setup_UUIE;
  callIdentifier_ = setup.CallIdentifier();
  Value& body = setup.Body();
  std::vector<std::string> aliases;
  if (const Value* destinations = body.Get(S::destinationAddress))
    for (const Value& alias : destinations->Elements()) aliases.push_back(asn::AliasText(alias));
  if (auto called = setup.Q931().CalledPartyNumber()) aliases.push_back(called->digits);
  const auto callee = resolve_(aliases);
  if (!callee) {
    Release(true, h225::ReleaseCompleteReason::calledPartyNotRegistered, 1 /* unallocated number */);
    return;
  }
  asn::SetIpv4(body.Field(S::destCallSignalAddress), *callee);
  asn::SetIpv4(body.Field(S::sourceCallSignalAddress), self_);
  body.Remove(S::endpointIdentifier);  // the caller's, with this gatekeeper
  RewriteH245Address(setup, true);
  auto encoded = setup.Encode();
  if (!encoded) {
    Release(true, h225::ReleaseCompleteReason::undefinedReason, q931::Cause::NormalUnspecified);
    return;
  }
  Write(false, *encoded);
  log_->recorder.Write([&] { ++log_->setupsRelayed; });
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

bool RelayedCall::RewriteH245Address(H225Message& message, bool fromCaller) {
  const auto announced = message.H245Address();
  if (!announced) return false;
  auto& pipe = h245_[{fromCaller, announced->ip, announced->port}];
  if (!pipe) {
    pipe = std::make_shared<RelayedH245>(caller_.socket.get_executor(), *announced,
                                         [log = log_] { log->recorder.Write([&] { ++log->h245Joined; }); });
    if (!pipe->Listen()) return false;
  }
  message.SetH245Address({{127, 0, 0, 1}, pipe->Port()});
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
  // Towards the caller the relay answers as the destination of the caller's call reference.
  H225MessageBuilder builder(
      {callReference_, !toCaller, callIdentifier_.size() == 16 ? callIdentifier_ : std::string(16, '\0'), {}});
  builder.SetTunnelling(false);
  const auto encoded = builder.ReleaseComplete(reason, cause).Encode();
  ending_ = true;
  if (encoded) Write(toCaller, *encoded);
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

}  // namespace vantro::test
