// The H.245 side of H323Connection: where its messages travel (tunnelled or on a connection of
// their own), the control's procedures and what they mean for the call's media.

#include "runtime/PTrace.h"
#include "stack/asn/generated/H225.h"
#include "stack/h225/CallMedia.h"
#include "stack/h225/H323Connection.h"
#include "stack/h225/TpktChannel.h"

namespace vantro::endpoint {

namespace h = asn::h225;
using h225::H225Message;
using Event = H323ConnectionHost::CallEvent;

namespace {

// How long a far end that ended H.245 gets to send its Release Complete.
constexpr std::chrono::milliseconds kReleaseGrace{2000};

}  // namespace

// A message of the far end offers an H.245 address: without tunnelling, that is where H.245 goes
// (unless a connection is up or under way already).
void H323Connection::DecideSeparateH245(const H225Message& message) {
  if (tunnelling_ || h245_ || phase_ == Phase::Released) return;
  const auto address = message.H245Address();
  if (!address) return;
  EnsureH245Transport();
  if (h245Transport_->IsConnected() || (h245Transport_->IsConnecting() && !h245Transport_->ListeningAddress())) return;
  h245Transport_->ConnectTo(*address, settings_.timings.connectTimeout);
}

// Listens for the far end's H.245 connection. The callee offers the address in its answers; the
// caller, when the answers named none, in a Facility (startH245).
void H323Connection::OfferH245Address() {
  if (!signal_ || phase_ == Phase::Released) return;
  EnsureH245Transport();
  if (h245Transport_->ListeningAddress() || h245Transport_->IsConnected()) return;
  const auto local = signal_->LocalAddress();
  if (!local) return;
  const auto ours = h245Transport_->Listen(*local);
  if (!ours) {
    Release(EndedByTransportFail);
    return;
  }
  if (originating_) {
    H225Message facility = builder_->Facility(h::FacilityReason::startH245);
    facility.SetH245Address(*ours);
    SendSignal(facility);
  }
}

void H323Connection::EnsureH245Transport() {
  if (!h245Transport_)
    h245Transport_ = std::make_unique<h225::H245Transport>(strand_, static_cast<h225::H245Transport::Owner&>(*this),
                                                           weak_from_this());
}

void H323Connection::StartH245() {
  if (h245_ || phase_ == Phase::Released || !builder_) return;
  EnsureH245Transport();
  if (tunnelling_) h245Transport_->UseTunnelling();
  h245::H245Control::Settings settings;
  settings.capabilities = settings_.capabilities;
  settings.requestTimeout = settings_.timings.h245Timeout;
  settings.randomNumber = settings_.masterSlaveNumber;
  h245_ = std::make_unique<h245::H245Control>(strand_, static_cast<h245::H245Control::Owner&>(*this), std::move(settings));
  if (media_)
    for (const auto& [number, weTransmit] : media_->FastStartChannels()) h245_->AddFastStartChannel(number, weTransmit);
  Event(Event::H245Connected, tunnelling_ ? "tunnelled" : "separate connection");
  h245_->Start();
}

void H323Connection::MaybeOpenChannels() {
  if (!h245_ || !controlReady_ || !media_ || phase_ == Phase::Released) return;
  if (fastStartProposed_ && !fastStartSettled_) return;  // only capabilities and master/slave before that
  if (!media_->OpenTransmitChannel(*h245_)) {
    PTRACE(2, "H225", token_ << ": no capability in common with the far end");
    Release(EndedByCapabilityExchange);
  }
}

void H323Connection::FlushTunnel() {
  if (phase_ == Phase::Released || !h245Transport_ || !h245Transport_->HasTunnelledPending() || !builder_) return;
  H225Message carrier = builder_->H245Carrier();
  SendSignal(carrier);
}

// --- H245Transport::Owner ---

void H323Connection::OnH245Message(const asn::Value& message) {
  Guarded("OnH245Message", [&] {
    if (phase_ == Phase::Released) return;
    StartH245();
    if (h245_) h245_->HandleMessage(message);
  });
}

void H323Connection::OnH245Connected() {
  Guarded("OnH245Connected", [&] {
    PTRACE(3, "H225", token_ << ": H.245 connection up");
    StartH245();
  });
}

void H323Connection::OnH245Closed(std::error_code ec) {
  Guarded("OnH245Closed", [&] {
    if (phase_ == Phase::Released || remoteEnding_) return;
    if (!h245_ && media_ && media_->IsFastStarted()) {
      PTRACE(2, "H225", token_ << ": no H.245 connection (" << ec.message() << "); the call goes on without it");
      return;
    }
    PTRACE(2, "H225", token_ << ": the H.245 connection ended: " << ec.message());
    OnEndSession();
  });
}

void H323Connection::OnTunnelledPending() {
  if (tunnelFlushPosted_) return;
  tunnelFlushPosted_ = true;
  asio::post(strand_, [weak = weak_from_this()] {
    auto self = weak.lock();
    if (!self) return;
    self->Guarded("tunnel", [&] {
      self->tunnelFlushPosted_ = false;
      self->FlushTunnel();
    });
  });
}

// --- H245Control::Owner ---

void H323Connection::SendMessage(const asn::Value& message) {
  Guarded("SendMessage", [&] {
    if (!h245Transport_ || !h245Transport_->Send(message)) {
      if (phase_ != Phase::Released) {
        PTRACE(2, "H225", token_ << ": an H.245 message cannot go out; clearing");
        Release(EndedByTransportFail);
      }
    }
  });
}

void H323Connection::OnRemoteCapabilities(const h245::RemoteCapabilities& capabilities) {
  if (capabilities.empty) PTRACE(3, "H225", token_ << ": the far end sent an empty capability set");
}

void H323Connection::OnControlReady(bool isMaster) {
  Guarded("OnControlReady", [&] {
    PTRACE(3, "H225", token_ << ": H.245 ready, " << (isMaster ? "master" : "slave"));
    controlReady_ = true;
    MaybeOpenChannels();
  });
}

h245::IncomingAnswer H323Connection::OnOpenChannel(const h245::IncomingChannel& channel) {
  h245::IncomingAnswer answer;
  Guarded("OnOpenChannel", [&] {
    if (media_ && phase_ != Phase::Released) answer = media_->OnOpenChannel(channel);
  });
  return answer;
}

void H323Connection::OnChannelOpened(unsigned number, std::optional<asn::Ipv4Address> media,
                                     std::optional<asn::Ipv4Address> control, std::optional<unsigned> payloadType) {
  Guarded("OnChannelOpened", [&] {
    if (media_ && phase_ != Phase::Released) media_->OnChannelOpened(number, media, control, payloadType);
    CloseRetiredChannels();
  });
}

void H323Connection::OnChannelRejected(unsigned number) {
  Guarded("OnChannelRejected", [&] {
    if (!media_ || !h245_ || phase_ == Phase::Released) return;
    if (!media_->OnChannelRejected(number, *h245_) && !media_->IsMediaRunning()) {
      PTRACE(2, "H225", token_ << ": the far end takes none of our capabilities");
      Release(EndedByCapabilityExchange);
    }
  });
}

void H323Connection::OnChannelClosed(unsigned number, bool byRemote) {
  Guarded("OnChannelClosed", [&] {
    PTRACE(3, "H225", token_ << ": channel " << number << " closed" << (byRemote ? " by the far end" : ""));
    if (media_) media_->OnChannelClosed(number);
    CloseRetiredChannels();
  });
}

void H323Connection::OnUserInput(const std::string& text) {
  Guarded("OnUserInput", [&] {
    if (phase_ != Phase::Released) host_.OnUserInputString(*this, text);
  });
}

// The far end ends H.245 (EndSessionCommand, or its H.245 connection closed): the Release
// Complete with its reason follows; it gets a moment for that before we clear on our own.
void H323Connection::OnEndSession() {
  Guarded("OnEndSession", [&] {
    if (phase_ == Phase::Released || remoteEnding_) return;
    remoteEnding_ = true;
    PTRACE(3, "H225", token_ << ": the far end ends the session");
    phaseTimer_.expires_after(std::min(kReleaseGrace, settings_.timings.h245Timeout));
    phaseTimer_.async_wait([weak = weak_from_this()](std::error_code ec) {
      auto self = weak.lock();
      if (ec || !self) return;
      self->Guarded("end of session", [&] { self->Release(EndedByRemoteUser); });
    });
  });
}

void H323Connection::OnFailure(const std::string& why) {
  Guarded("OnFailure", [&] {
    PTRACE(2, "H225", token_ << ": H.245 failed: " << why);
    Release(EndedByCapabilityExchange);
  });
}

}  // namespace vantro::endpoint
