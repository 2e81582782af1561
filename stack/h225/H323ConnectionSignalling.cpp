// The call signalling of H323Connection: placing a call (admission, the TCP connection, Setup) and
// the messages of the far end.

#include "runtime/PTrace.h"
#include "stack/asn/generated/H225.h"
#include "stack/h225/CallMedia.h"
#include "stack/h225/H323Connection.h"
#include "stack/h225/TpktChannel.h"
#include "stack/ras/TransportAddress.h"

namespace vantro::endpoint {

namespace h = asn::h225;
using asn::Value;
using h225::H225Message;
using q931::Q931Message;
using Event = H323ConnectionHost::CallEvent;
using Admission = ras::H323Gatekeeper::Admission;

namespace {

bool IsDigits(const std::string& s) { return !s.empty() && s.find_first_not_of("0123456789#*,") == std::string::npos; }

H323Connection::CallEndReason ConnectFailure(std::error_code ec) {
  if (ec == asio::error::connection_refused) return H323Connection::EndedByNoEndPoint;
  if (ec == asio::error::timed_out) return H323Connection::EndedByHostOffline;
  if (ec == asio::error::host_unreachable || ec == asio::error::network_unreachable)
    return H323Connection::EndedByUnreachable;
  return H323Connection::EndedByConnectFail;
}

}  // namespace

// --- placing a call ---

void H323Connection::PlaceCall(const std::string& party) {
  Post("PlaceCall", [this, party] {
    inTable_ = true;
    originating_ = true;
    settings_ = host_.GetCallSettings();
    tunnelling_ = !settings_.tunnelingDisabled;
    auto target = h225::ParseCallTarget(party);
    if (!target) {
      PTRACE(2, "H225", token_ << ": cannot call \"" << party << "\": neither an alias nor an address");
      Release(EndedByNoUser, false);
      return;
    }
    StartOutgoing(*target);
  });
}

void H323Connection::NewCallInfo(bool answerCall) {
  callInfo_ = {};
  callInfo_.callReference = static_cast<std::uint16_t>(callReference_);
  callInfo_.callIdentifier = callIdentifier_;
  callInfo_.conferenceID = conferenceID_;
  callInfo_.answerCall = answerCall;
}

void H323Connection::StartOutgoing(const h225::CallTarget& target) {
  target_ = target;
  remoteNumber_ = IsDigits(target.alias) ? target.alias : std::string();
  remoteName_ = target.alias.empty() ? target.host : target.alias;
  NewCallInfo(false);
  callInfo_.destinationAlias = target.alias;
  PTRACE(3, "H225", token_ << ": calling " << (target.alias.empty() ? "" : target.alias + "@") << target.host);
  if (target.host.empty()) {
    RequestAdmission(std::nullopt);
    return;
  }
  if (ras::IsIpv4Literal(target.host)) {
    asio::error_code ec;
    const auto ip = asio::ip::make_address_v4(target.host, ec);
    RequestAdmission(asn::Ipv4Address{ip.to_bytes(), target.port});
    return;
  }
  SetPhase(Phase::Admitting);
  resolver_.async_resolve(asio::ip::tcp::v4(), target.host, std::to_string(target.port),
                          [weak = weak_from_this()](std::error_code ec, asio::ip::tcp::resolver::results_type results) {
                            auto self = weak.lock();
                            if (!self) return;
                            self->Guarded("resolve", [&] {
                              if (self->phase_ == Phase::Released) return;
                              if (ec || results.empty()) {
                                PTRACE(2, "H225", self->token_ << ": cannot resolve " << self->target_.host);
                                self->Release(EndedByUnreachable, false);
                                return;
                              }
                              const auto e = results.begin()->endpoint();
                              self->RequestAdmission(asn::Ipv4Address{e.address().to_v4().to_bytes(), e.port()});
                            });
                          });
}

void H323Connection::RequestAdmission(std::optional<asn::Ipv4Address> direct) {
  if (!settings_.registered) {
    if (direct) {
      ConnectSignalling(*direct);
    } else {
      PTRACE(2, "H225", token_ << ": " << target_.alias << " needs a gatekeeper, and we are not registered");
      Release(EndedByGatekeeper, false);
    }
    return;
  }
  SetPhase(Phase::Admitting);
  callInfo_.destCallSignalAddress = direct;
  Event(Event::AdmissionRequested, target_.alias);
  // The answer keeps the call alive: an incoming one has no other owner until it is admitted.
  host_.RequestAdmission(callInfo_, [self = shared_from_this(), direct](Admission admission) {
    self->Post("admission",
               [self = self.get(), admission = std::move(admission), direct] { self->OnAdmission(admission, direct); });
  });
}

void H323Connection::OnAdmission(const Admission& admission, std::optional<asn::Ipv4Address> direct) {
  using Outcome = Admission::Outcome;
  if (phase_ != Phase::Admitting) {
    // Cleared while the gatekeeper thought about it: it must not count the call as running.
    if (admission.outcome == Outcome::Confirmed) host_.Disengage(callInfo_, h::DisengageReason::forcedDrop);
    return;
  }
  switch (admission.outcome) {
    case Outcome::Confirmed: {
      admitted_ = true;
      // The gatekeeper may have registered us anew on the way: the Setup names this registration.
      if (!admission.endpointIdentifier.empty()) settings_.endpointIdentifier = admission.endpointIdentifier;
      gatekeeperRouted_ = admission.gatekeeperRouted;
      const auto to = admission.destCallSignalAddress ? admission.destCallSignalAddress : direct;
      Event(Event::Admitted, gatekeeperRouted_ ? "gatekeeper routed" : "direct");
      if (!to) {
        PTRACE(2, "H225", token_ << ": the admission names no address to call");
        Release(EndedByGatekeeper, false);
        return;
      }
      ConnectSignalling(*to);
      return;
    }
    case Outcome::Rejected:
      PTRACE(2, "H225", token_ << ": admission rejected, reason " << admission.rejectReason);
      Release(EndReasonFromAdmissionReject(admission.rejectReason), false);
      return;
    case Outcome::NotRegistered:
      if (direct) {
        ConnectSignalling(*direct);
        return;
      }
      [[fallthrough]];
    default:
      PTRACE(2, "H225", token_ << ": no admission from the gatekeeper");
      Release(EndedByGatekeeper, false);
      return;
  }
}

void H323Connection::ConnectSignalling(const asn::Ipv4Address& to) {
  SetPhase(Phase::Connecting);
  remoteAddress_ = h225::AddressText(to);
  signal_ = std::make_shared<h225::TpktChannel>(strand_);
  signal_->Connect(to, settings_.timings.connectTimeout, [weak = weak_from_this()](std::error_code ec) {
    if (auto self = weak.lock()) self->Guarded("connect", [&] { self->OnSignallingConnected(ec); });
  });
}

void H323Connection::OnSignallingConnected(std::error_code ec) {
  if (phase_ != Phase::Connecting) return;
  if (ec) {
    PTRACE(2, "H225", token_ << ": cannot connect to " << remoteAddress_ << ": " << ec.message());
    Release(ConnectFailure(ec), false);
    return;
  }
  StartSignalChannel();
  SendSetup();
}

void H323Connection::SendSetup() {
  const auto local = signal_->LocalAddress();
  const auto remote = signal_->RemoteAddress();
  media_ = std::make_unique<h225::CallMedia>(host_, *this, settings_.capabilities);
  if (!local || !media_->OpenSession(*local)) {
    Release(EndedByMediaFailed, false);
    return;
  }
  builder_.emplace(h225::H225MessageBuilder::CallIds{static_cast<std::uint16_t>(callReference_), true, callIdentifier_,
                                                     conferenceID_});
  builder_->SetTunnelling(tunnelling_);
  h225::H225MessageBuilder::SetupFields fields;
  fields.sourceAlias = settings_.localUserName;
  if (settings_.registered) fields.endpointIdentifier = settings_.endpointIdentifier;
  fields.destinationAlias = target_.alias;
  fields.destCallSignalAddress = remote;
  fields.sourceCallSignalAddress = local;
  H225Message setup = builder_->Setup(fields);
  if (!settings_.fastStartDisabled) {
    auto proposals = media_->BuildProposals();
    fastStartProposed_ = !proposals.empty();
    if (fastStartProposed_) setup.SetFastStart(proposals);
  }
  if (!SendSignal(setup)) {
    Release(EndedByTransportFail, false);
    return;
  }
  SetPhase(Phase::AwaitingAnswer);
  Event(Event::SetupSent, remoteAddress_);
}

// --- the signalling channel ---

void H323Connection::StartSignalChannel() {
  std::weak_ptr<H323Connection> weak = weak_from_this();
  signal_->Start(
      [weak](h225::TpktChannel::Bytes payload) {
        if (auto self = weak.lock()) self->Guarded("message", [&] { self->OnSignalPacket(payload); });
      },
      [weak](std::error_code ec) {
        if (auto self = weak.lock()) self->Guarded("closed", [&] { self->OnSignalClosed(ec); });
      });
}

bool H323Connection::SendSignal(H225Message& message) {
  if (!signal_ || !signal_->IsOpen()) return false;
  if (tunnelling_ && h245Transport_)
    for (const auto& control : h245Transport_->TakeTunnelled()) message.AddH245Control(control);
  std::string error;
  auto bytes = message.Encode(&error);
  if (!bytes) {
    PTRACE(1, "H225", token_ << ": cannot encode " << h225::DescribeMessage(message) << ": " << error);
    return false;
  }
  PTRACE(4, "H225", token_ << ": sent " << h225::DescribeMessage(message));
  return signal_->Send(*bytes);
}

void H323Connection::OnSignalPacket(const h225::Octets& payload) {
  std::string error;
  auto message = H225Message::Decode(payload, &error);
  if (!message) {
    PTRACE(2, "H225", token_ << ": dropped a message that is not Q.931: " << error);
    return;
  }
  if (!message->HasUuie() && !error.empty())
    PTRACE(2, "H225", token_ << ": " << q931::MessageTypeName(message->Type()) << " without a usable UUIE: " << error);
  PTRACE(4, "H225", token_ << ": received " << h225::DescribeMessage(*message));
  try {
    HandleSignal(*message);
  } catch (const std::exception& e) {
    // A field we relied on was absent or of another kind: this message is lost, not the call.
    PTRACE(2, "H225", token_ << ": dropped " << h225::DescribeMessage(*message) << ": " << e.what());
  }
}

void H323Connection::OnSignalClosed(std::error_code ec) {
  if (phase_ == Phase::Released) return;
  PTRACE(2, "H225", token_ << ": the signalling connection ended: " << ec.message());
  Release(remoteEnding_ ? EndedByRemoteUser : EndedByTransportFail, false);
}

void H323Connection::HandleSignal(H225Message& message) {
  if (phase_ == Phase::Released) return;
  if (message.CallReference() != callReference_) {
    PTRACE(
        2, "H225",
        token_ << ": ignored " << h225::DescribeMessage(message) << " of call reference " << message.CallReference());
    return;
  }
  switch (message.Type()) {
    case Q931Message::CallProceeding:
    case Q931Message::Alerting:
    case Q931Message::Progress:
    case Q931Message::SetupAcknowledge:
      if (originating_)
        OnAnswerMessage(message);
      else
        TakeCommonFields(message);
      return;
    case Q931Message::Connect:
      if (originating_)
        OnConnect(message);
      else
        TakeCommonFields(message);
      return;
    case Q931Message::Facility: OnFacility(message); return;
    case Q931Message::ReleaseComplete: OnReleaseComplete(message); return;
    case Q931Message::StatusEnquiry: {
      H225Message status = builder_->Status(Q931State(), 30);  // response to STATUS ENQUIRY
      SendSignal(status);
      return;
    }
    case Q931Message::Status: OnStatus(message); return;
    case Q931Message::Information:
      TakeCommonFields(message);  // tunnelled H.245 may ride in it
      // A far end without H.245 (fast start, H.245 never connected) sends its keys here.
      if (const auto keys = message.Keypad(); !keys.empty() && phase_ != Phase::Released)
        host_.OnUserInputString(*this, keys);
      return;
    case Q931Message::Notify:
      TakeCommonFields(message);  // tunnelled H.245 may ride in it; nothing else is used
      return;
    case Q931Message::Setup: PTRACE(2, "H225", token_ << ": ignored a second Setup"); return;
    default: {
      H225Message status = builder_->Status(Q931State(), 97);  // message type not implemented
      SendSignal(status);
      return;
    }
  }
}

void H323Connection::OnAnswerMessage(H225Message& message) {
  const bool ringing = phase_ == Phase::AwaitingAnswer || phase_ == Phase::Proceeding || phase_ == Phase::Alerting;
  if (ringing) {
    switch (message.Type()) {
      case Q931Message::Alerting:
        SetPhase(Phase::Alerting);
        if (const auto display = message.Display(); !display.empty()) remoteName_ = display;
        Event(Event::Alerting);
        break;
      case Q931Message::Progress:
        if (phase_ == Phase::AwaitingAnswer) SetPhase(Phase::Proceeding);
        Event(Event::Progress);
        break;
      default:
        if (phase_ == Phase::AwaitingAnswer) {
          SetPhase(Phase::Proceeding);
          Event(Event::Proceeding);
        }
        break;
    }
  }
  TakeCommonFields(message);
  if (ringing && phase_ == Phase::Alerting && message.Type() == Q931Message::Alerting)
    host_.OnAlerting(*this, message.Q931(), remoteName_);
}

void H323Connection::OnConnect(H225Message& message) {
  if (phase_ != Phase::AwaitingAnswer && phase_ != Phase::Proceeding && phase_ != Phase::Alerting) {
    TakeCommonFields(message);
    return;
  }
  SetPhase(Phase::Established);
  startTime_ = std::chrono::system_clock::now();
  if (const auto display = message.Display(); !display.empty()) remoteName_ = display;
  RestartFailedH245();
  TakeCommonFields(message);
  if (phase_ == Phase::Released) return;
  if (tunnelling_)
    StartH245();  // unless the far end started it already
  else if (!h245Transport_ || (!h245Transport_->IsConnected() && !h245Transport_->IsConnecting()))
    OfferH245Address();
  Event(Event::Connected);
  host_.OnConnectionEstablished(*this, token_);
  ArmStatusEnquiry();
}

void H323Connection::OnFacility(H225Message& message) {
  using R = h::FacilityReason;
  if (message.BodyType() != h::H323_UU_PDU_h323_message_body::facility) {
    TakeCommonFields(message);  // the carrier of tunnelled H.245
    return;
  }
  const Value* reason = message.BodyField("reason");
  const std::uint16_t why =
      reason && !reason->IsUnknownAlternative() ? reason->Choice() : static_cast<std::uint16_t>(R::undefinedReason);
  switch (why) {
    case R::routeCallToGatekeeper:
    case R::callForwarded:
    case R::routeCallToMC:
      if (originating_ && phase_ != Phase::Established) {
        FollowForward(message.Body());
        return;
      }
      break;
    case R::startH245:
      // The far end wants H.245 on a connection of its own, at the address it gives.
      if (!h245_ && message.H245Address()) {
        tunnelling_ = false;
        builder_->SetTunnelling(false);
      }
      break;
    default: break;
  }
  TakeCommonFields(message);
}

void H323Connection::FollowForward(const Value& facility) {
  using F = h::Facility_UUIE;
  std::optional<asn::Ipv4Address> address;
  std::string alias;
  if (const Value* a = facility.Get(F::alternativeAddress)) address = asn::Ipv4(*a);
  if (const Value* aliases = facility.Get(F::alternativeAliasAddress); aliases && aliases->Size() > 0)
    alias = asn::AliasText(aliases->At(0));
  if (forwarded_ || (!address && alias.empty())) {
    PTRACE(2, "H225", token_ << ": " << (forwarded_ ? "forwarded twice" : "forwarded nowhere") << "; clearing");
    Release(EndedByCallForwarded);
    return;
  }
  forwarded_ = true;
  PTRACE(3, "H225", token_ << ": forwarded to " << alias << (address ? "@" + h225::AddressText(*address) : ""));
  // This attempt ends here; the call goes on towards the new address under the same token.
  H225Message rc = builder_->ReleaseComplete(h::ReleaseCompleteReason::facilityCallDeflection, 16);
  SendSignal(rc);
  signal_->Shutdown();
  signal_.reset();
  builder_.reset();
  if (h245Transport_) h245Transport_->Close();
  h245Transport_.reset();
  h245_.reset();
  controlReady_ = false;
  if (media_) {
    auto resources = std::make_shared<h225::CallMedia::Resources>(media_->TakeAll());
    asio::post(strand_, [resources] { resources->Close(); });
  }
  media_.reset();
  fastStartProposed_ = fastStartSettled_ = false;
  tunnelling_ = !settings_.tunnelingDisabled;
  tunnellingDecided_ = false;
  if (admitted_) {
    admitted_ = false;
    host_.Disengage(GetCallInfo(), h::DisengageReason::normalDrop);
  }
  h225::CallTarget next;
  next.alias = alias.empty() ? target_.alias : alias;
  if (address) {
    next.host = std::to_string(address->ip[0]) + "." + std::to_string(address->ip[1]) + "." +
                std::to_string(address->ip[2]) + "." + std::to_string(address->ip[3]);
    next.port = address->port;
  }
  StartOutgoing(next);
}

void H323Connection::OnReleaseComplete(const H225Message& message) {
  std::optional<std::uint8_t> cause;
  if (auto c = message.Q931().Cause()) cause = c->value;
  std::optional<std::uint16_t> reason;
  if (const Value* r = message.BodyField("reason"); r && !r->IsUnknownAlternative()) reason = r->Choice();
  q931Cause_ = cause ? std::optional<unsigned>(*cause) : std::nullopt;
  const CallEndReason ended = EndReasonFromReleaseComplete(cause, reason);
  PTRACE(3, "H225",
         token_ << ": Release Complete from the far end"
                << (cause ? ", cause " + std::to_string(*cause) : std::string())
                << (reason ? ", reason " + std::to_string(*reason) : std::string()));
  Release(ended, false);
}

void H323Connection::OnStatus(const H225Message& message) {
  constexpr std::uint8_t kIeCallState = 0x14;
  if (const auto* state = message.Q931().Find(kIeCallState);
      state && !state->contents.empty() && (state->contents[0] & 0x3f) == 0) {
    PTRACE(2, "H225", token_ << ": the far end knows no such call; clearing");
    Release(EndedByTransportFail, false);
    return;
  }
  if (awaitingStatus_) ArmStatusEnquiry();
}

h225::H225MessageBuilder::CallState H323Connection::Q931State() const {
  using S = h225::H225MessageBuilder;
  switch (phase_) {
    case Phase::AwaitingAnswer: return S::CallInitiated;
    case Phase::Proceeding: return S::OutgoingCallProceeding;
    case Phase::Alerting: return S::CallDelivered;
    case Phase::Admitting: return originating_ ? S::Null : S::CallPresent;
    case Phase::Answering: return S::IncomingCallProceeding;
    case Phase::Ringing: return S::CallReceived;
    case Phase::Established: return S::Active;
    default: return S::Null;
  }
}

// What any message of the far end may carry: its word on tunnelling (its first answer decides),
// the fast start answer, an H.245 address and tunnelled H.245.
void H323Connection::TakeCommonFields(H225Message& message) {
  if (!message.HasUuie()) return;
  if (originating_ && !tunnellingDecided_) {
    tunnellingDecided_ = true;
    if (tunnelling_ && !message.Tunnelling().value_or(false)) {
      PTRACE(3, "H225", token_ << ": the far end does not tunnel H.245");
      tunnelling_ = false;
      builder_->SetTunnelling(false);
    }
  }
  if (originating_ && fastStartProposed_ && !fastStartSettled_) {
    const auto answer = message.FastStart();
    if (!answer.empty()) {
      fastStartSettled_ = true;
      if (media_->TakeFastStartAnswer(answer))
        Event(Event::FastStartAccepted);
      else
        Event(Event::FastStartRefused, "nothing usable in its answer");
    } else if (message.FastConnectRefused() || message.Type() == Q931Message::Connect) {
      fastStartSettled_ = true;
      Event(Event::FastStartRefused);
    }
  }
  DecideSeparateH245(message);
  if (tunnelling_) {
    const auto control = message.H245Control();
    if (!control.empty() && message.Type() != Q931Message::ReleaseComplete) {
      StartH245();
      if (h245Transport_) h245Transport_->ReceiveTunnelled(control);
    }
  }
  // H.245 may start before Connect when fast start is out of the way.
  if (originating_ && tunnelling_ && tunnellingDecided_ && !h245_ && phase_ != Phase::Released &&
      (!fastStartProposed_ || (fastStartSettled_ && !media_->IsFastStarted())))
    StartH245();
  MaybeOpenChannels();
}

}  // namespace vantro::endpoint
