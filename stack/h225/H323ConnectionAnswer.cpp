// Answering a call with H323Connection: the Setup the listener took, its admission at our
// gatekeeper (or its refusal), Call Proceeding with the fast start choice and H.245 as the caller
// asks, the answer policy, Alerting while it rings, Connect.

#include "runtime/PTrace.h"
#include "stack/asn/generated/H225.h"
#include "stack/h225/CallMedia.h"
#include "stack/h225/H323Connection.h"
#include "stack/h225/TpktChannel.h"

namespace vantro::endpoint {

namespace h = asn::h225;
using asn::Value;
using h225::H225Message;
using Event = H323ConnectionHost::CallEvent;
using Admission = ras::H323Gatekeeper::Admission;

void H323Connection::AnswerIncoming(std::shared_ptr<h225::TpktChannel> channel, H225Message setup) {
  Post("AnswerIncoming", [this, channel = std::move(channel), setup = std::move(setup)]() mutable {
    signal_ = std::move(channel);
    setup_ = std::move(setup);
    OnIncomingSetup();
  });
}

void H323Connection::OnIncomingSetup() {
  originating_ = false;
  settings_ = host_.GetCallSettings();
  const H225Message& setup = *setup_;
  if (const auto remote = signal_->RemoteAddress()) remoteAddress_ = h225::AddressText(*remote);
  if (setup.CallIdentifier().size() == 16) callIdentifier_ = setup.CallIdentifier();
  if (const Value* id = setup.BodyField("conferenceID"); id && id->Bytes().size() == 16) conferenceID_ = id->Bytes();
  builder_.emplace(h225::H225MessageBuilder::CallIds{static_cast<std::uint16_t>(callReference_), false, callIdentifier_,
                                                     conferenceID_});
  tunnelling_ = setup.Tunnelling().value_or(false) && !settings_.tunnelingDisabled;
  tunnellingDecided_ = true;
  builder_->SetTunnelling(tunnelling_);

  // Who calls: the display and the aliases of the caller.
  std::string h323Id;
  if (const Value* aliases = setup.BodyField("sourceAddress"))
    for (const Value& alias : aliases->Elements()) {
      if (alias.Is(h::AliasAddress::dialedDigits) && remoteNumber_.empty()) remoteNumber_ = asn::AliasText(alias);
      if (alias.Is(h::AliasAddress::h323_ID) && h323Id.empty()) h323Id = asn::AliasText(alias);
    }
  if (remoteNumber_.empty())
    if (auto calling = setup.Q931().CallingPartyNumber()) remoteNumber_ = calling->digits;
  remoteName_ = setup.Display().empty() ? h323Id : setup.Display();
  if (remoteName_.empty()) remoteName_ = h323Id.empty() ? remoteNumber_ : h323Id;

  NewCallInfo(true);
  callInfo_.destinationAlias = settings_.localUserName;
  callInfo_.sourceAlias = remoteNumber_.empty() ? h323Id : remoteNumber_;
  if (const Value* source = setup.BodyField("sourceCallSignalAddress"))
    callInfo_.srcCallSignalAddress = asn::Ipv4(*source);
  if (!callInfo_.srcCallSignalAddress) callInfo_.srcCallSignalAddress = signal_->RemoteAddress();

  StartSignalChannel();
  SetPhase(Phase::Admitting);
  PTRACE(3, "H225", token_ << ": incoming call from " << remoteName_ << " at " << remoteAddress_);
  if (!settings_.registered) {
    if (settings_.acceptUnadmittedCalls) {
      Admission none;
      none.outcome = Admission::Outcome::NotRegistered;
      OnIncomingAdmission(none);
      return;
    }
    RefuseIncoming(EndedBySecurityDenial, "we are not registered with a gatekeeper to admit it");
    return;
  }
  host_.RequestAdmission(callInfo_, [self = shared_from_this()](Admission admission) {
    self->Post("admission",
               [self = self.get(), admission = std::move(admission)] { self->OnIncomingAdmission(admission); });
  });
}

void H323Connection::OnIncomingAdmission(const Admission& admission) {
  using Outcome = Admission::Outcome;
  if (phase_ != Phase::Admitting) {
    if (admission.outcome == Outcome::Confirmed) host_.Disengage(callInfo_, h::DisengageReason::forcedDrop);
    return;
  }
  const bool unadmittedAllowed = admission.outcome == Outcome::NotRegistered && settings_.acceptUnadmittedCalls;
  if (admission.outcome == Outcome::Rejected) {
    RefuseIncoming(EndedByGatekeeper, "the gatekeeper rejected its admission");
    return;
  }
  if (admission.outcome != Outcome::Confirmed && !unadmittedAllowed) {
    RefuseIncoming(EndedBySecurityDenial, "the gatekeeper did not admit it");
    return;
  }
  admitted_ = admission.outcome == Outcome::Confirmed;
  gatekeeperRouted_ = admission.gatekeeperRouted;
  if (!host_.AddIncomingConnection(shared_from_this())) {
    RefuseIncoming(EndedByLocalBusy, "the endpoint takes no more calls");
    return;
  }
  inTable_ = true;
  Event(Event::SetupReceived, remoteName_ + " at " + remoteAddress_);
  if (admitted_) Event(Event::Admitted, gatekeeperRouted_ ? "gatekeeper routed" : "direct");
  Answer();
}

void H323Connection::RefuseIncoming(CallEndReason reason, const char* why) {
  PTRACE(2, "H225", token_ << ": refused the call from " << remoteName_ << " at " << remoteAddress_ << ": " << why);
  Release(reason);
}

void H323Connection::Answer() {
  SetPhase(Phase::Answering);
  const auto local = signal_->LocalAddress();
  media_ = std::make_unique<h225::CallMedia>(host_, *this, settings_.capabilities);
  if (!local || !media_->OpenSession(*local)) {
    Release(EndedByMediaFailed);
    return;
  }
  H225Message proceeding = builder_->CallProceeding();
  const auto proposals = setup_->FastStart();
  fastStartProposed_ = !proposals.empty();
  fastStartSettled_ = true;
  if (fastStartProposed_) {
    std::vector<h225::Octets> reply;
    if (!settings_.fastStartDisabled) reply = media_->AnswerProposals(proposals);
    if (!reply.empty()) {
      proceeding.SetFastStart(reply);
      Event(Event::FastStartAccepted);
    } else {
      proceeding.SetFastConnectRefused();
      Event(Event::FastStartRefused);
    }
  }
  if (!tunnelling_) {
    if (const auto theirs = setup_->H245Address()) {
      EnsureH245Transport();
      h245Transport_->ConnectTo(*theirs, settings_.timings.connectTimeout);
    } else {
      OfferH245Address();
      if (h245Transport_ && h245Transport_->ListeningAddress())
        proceeding.SetH245Address(*h245Transport_->ListeningAddress());
    }
  }
  // H.245 the caller put in its Setup is answered in Call Proceeding.
  if (tunnelling_ && !setup_->H245Control().empty()) {
    StartH245();
    if (h245Transport_) h245Transport_->ReceiveTunnelled(setup_->H245Control());
  }
  if (!SendSignal(proceeding) || phase_ == Phase::Released) return;

  switch (host_.OnAnswerCall(*this, remoteName_, setup_->Q931())) {
    case H323ConnectionHost::AnswerCallDenied: Release(EndedByAnswerDenied); return;
    case H323ConnectionHost::AnswerCallPending: {
      if (phase_ == Phase::Released) return;
      SetPhase(Phase::Ringing);
      H225Message alerting = builder_->Alerting();
      SendSignal(alerting);
      return;
    }
    case H323ConnectionHost::AnswerCallNow: break;
  }
  SendConnect();
}

void H323Connection::AnsweringCall(H323ConnectionHost::AnswerCallResponse response) {
  Post("AnsweringCall", [this, response] {
    if (phase_ != Phase::Ringing) return;
    if (response == H323ConnectionHost::AnswerCallDenied)
      Release(EndedByAnswerDenied);
    else if (response == H323ConnectionHost::AnswerCallNow)
      SendConnect();
  });
}

void H323Connection::SendConnect() {
  if (phase_ == Phase::Released) return;
  if (tunnelling_) StartH245();  // our capabilities and master/slave determination go in Connect
  H225Message connect = builder_->Connect();
  if (h245Transport_ && h245Transport_->ListeningAddress() && !h245Transport_->IsConnected())
    connect.SetH245Address(*h245Transport_->ListeningAddress());
  if (!SendSignal(connect) || phase_ == Phase::Released) return;
  SetPhase(Phase::Established);
  startTime_ = std::chrono::system_clock::now();
  setup_.reset();
  Event(Event::Connected);
  host_.OnConnectionEstablished(*this, token_);
  ArmStatusEnquiry();
}

}  // namespace vantro::endpoint
