#include "stack/h245/H245LogicalChannels.h"

#include "runtime/PTrace.h"
#include "stack/asn/generated/H245.h"
#include "stack/endpoint/H323Channel.h"
#include "stack/h245/H245Messages.h"

namespace vantro::h245 {

namespace h245 = asn::h245;
using namespace names;
using RejectCause = h245::OpenLogicalChannelReject_cause;

namespace {

unsigned NumberOf(const asn::Value& message) {
  // Every message here starts with the channel number.
  return static_cast<unsigned>(message[0].Integer());
}

asn::Value NumberedMessage(std::uint16_t kind, std::uint16_t alternative, unsigned number) {
  asn::Value message = NewMessage(kind, alternative);
  MessageBody(message).Field(0).SetInteger(number);
  return message;
}

}  // namespace

H245LogicalChannels::H245LogicalChannels(H245Link& link) : link_(link) {}

unsigned H245LogicalChannels::NextNumber() {
  for (unsigned tries = 0; tries < 65535; ++tries) {
    const unsigned n = next_;
    next_ = next_ >= 65535 ? 1 : next_ + 1;
    if (!ours_.count(n)) return n;
  }
  return 0;
}

unsigned H245LogicalChannels::Open(const OutgoingChannel& channel) {
  if (link_.IsEnded()) return 0;
  if (channel.audioCapability.Type() != h245::AudioCapability::Id) {
    PTRACE(1, "H245", "cannot open a channel without an AudioCapability value");
    return 0;
  }
  const unsigned number = NextNumber();
  if (number == 0) return 0;
  asn::Value message = NumberedMessage(MSCM::request, h245::RequestMessage::openLogicalChannel, number);
  asn::Value& forward = MessageBody(message).Field(OLC::forwardLogicalChannelParameters);
  forward.Field(Forward::dataType).Select(h245::DataType::audioData) = channel.audioCapability;
  FillH2250(forward.Field(Forward::multiplexParameters).Select(ForwardMultiplex::h2250LogicalChannelParameters),
            MediaParameters{channel.sessionID, std::nullopt, channel.control, std::nullopt});

  Ours& ours = ours_[number];
  ours.timer = std::make_unique<H245Timer>(link_);
  link_.Send(std::move(message));
  ours.timer->Start(link_.GetSettings().requestTimeout, [this, number] {
    // Closing restarts the timer with its own handler: this one sees only unanswered requests.
    if (!ours_.erase(number)) return;
    // Withdraw the request, so that a late Ack opens nothing.
    asn::Value close = NumberedMessage(MSCM::request, h245::RequestMessage::closeLogicalChannel, number);
    MessageBody(close).Field(h245::CloseLogicalChannel::source).Select(h245::CloseLogicalChannel_source::lcse);
    link_.Send(std::move(close));
    link_.Fail("no answer to OpenLogicalChannel " + std::to_string(number));
  });
  return number;
}

void H245LogicalChannels::AddOpen(unsigned number, bool weTransmit) {
  if (number == 0 || number > 65535) return;
  if (weTransmit) {
    // A number H.245 already uses stays with its own channel.
    if (auto [it, added] = ours_.try_emplace(number); added) it->second.state = State::Open;
  } else {
    theirs_.insert(number);
  }
}

void H245LogicalChannels::SendClose(unsigned number, Ours& channel, bool byRemote) {
  channel.state = State::Closing;
  channel.closeReported = byRemote;
  if (!channel.timer) channel.timer = std::make_unique<H245Timer>(link_);
  asn::Value message = NumberedMessage(MSCM::request, h245::RequestMessage::closeLogicalChannel, number);
  MessageBody(message).Field(h245::CloseLogicalChannel::source).Select(h245::CloseLogicalChannel_source::user);
  link_.Send(std::move(message));
  // The timer of the channel runs on: its handler treats a Closing channel as closed.
  channel.timer->Start(link_.GetSettings().requestTimeout, [this, number] {
    auto it = ours_.find(number);
    if (it == ours_.end()) return;
    const bool report = !it->second.closeReported;
    ours_.erase(it);
    PTRACE(2, "H245", "no acknowledgement of closing channel " << number << ", taken as closed");
    if (report)
      if (auto* owner = link_.GetOwner()) owner->OnChannelClosed(number, false);
  });
}

void H245LogicalChannels::Close(unsigned number) {
  auto it = ours_.find(number);
  if (it == ours_.end() || it->second.state == State::Closing) {
    PTRACE(3, "H245", "channel " << number << " is not open, nothing to close");
    return;
  }
  SendClose(number, it->second, false);
}

void H245LogicalChannels::CloseAllOurs() {
  std::vector<unsigned> numbers;
  for (const auto& [n, channel] : ours_)
    if (channel.state != State::Closing) numbers.push_back(n);
  for (unsigned n : numbers) {
    auto it = ours_.find(n);
    if (it == ours_.end() || it->second.state == State::Closing) continue;
    SendClose(n, it->second, true);
    if (auto* owner = link_.GetOwner()) owner->OnChannelClosed(n, true);
  }
}

void H245LogicalChannels::RequestClose(unsigned number) {
  if (!theirs_.count(number) || closeRequests_.count(number)) {
    PTRACE(3, "H245", "far end's channel " << number << " is not open or already asked to close");
    return;
  }
  asn::Value message = NumberedMessage(MSCM::request, h245::RequestMessage::requestChannelClose, number);
  MessageBody(message).Field(h245::RequestChannelClose::reason).Select(h245::RequestChannelClose_reason::normal);
  link_.Send(std::move(message));
  auto& timer = closeRequests_[number];
  timer = std::make_unique<H245Timer>(link_);
  timer->Start(link_.GetSettings().requestTimeout, [this, number] {
    closeRequests_.erase(number);
    PTRACE(2, "H245", "no answer to our request to close channel " << number);
    link_.Send(NumberedMessage(MSCM::indication, h245::IndicationMessage::requestChannelCloseRelease, number));
  });
}

void H245LogicalChannels::Stop() {
  for (auto& [n, channel] : ours_)
    if (channel.timer) channel.timer->Cancel();
  closeRequests_.clear();
}

void H245LogicalChannels::Reject(unsigned number, std::uint16_t cause) {
  PTRACE(3, "H245", "rejecting the far end's channel " << number << ", cause " << cause);
  asn::Value message = NumberedMessage(MSCM::response, h245::ResponseMessage::openLogicalChannelReject, number);
  MessageBody(message).Field(h245::OpenLogicalChannelReject::cause).Select(cause);
  link_.Send(std::move(message));
}

void H245LogicalChannels::OnOpen(const asn::Value& request, bool isMaster) {
  const unsigned number = NumberOf(request);
  if (request.Has(OLC::reverseLogicalChannelParameters))
    return Reject(number, RejectCause::unsuitableReverseParameters);
  const asn::Value& forward = request[OLC::forwardLogicalChannelParameters];
  const asn::Value* audio = AudioOf(forward[Forward::dataType]);
  if (!audio || !link_.GetSettings().capabilities.FindMatch(*audio))
    return Reject(number, RejectCause::dataTypeNotSupported);
  const asn::Value& multiplex = forward[Forward::multiplexParameters];
  if (!multiplex.Is(ForwardMultiplex::h2250LogicalChannelParameters)) return Reject(number, RejectCause::unspecified);
  const MediaParameters media = ReadH2250(multiplex.Alternative());

  IncomingChannel channel;
  channel.number = number;
  // Session 0 asks the master to assign one; audio is session 1 whoever assigns it.
  channel.sessionID = media.sessionID != 0 ? media.sessionID : endpoint::kAudioSessionID;
  if (media.sessionID == 0 && !isMaster) PTRACE(3, "H245", "the master opened channel " << number << " in session 0");
  channel.audioCapability = *audio;
  channel.remoteControl = media.control;
  channel.payloadType = media.payloadType;

  if (theirs_.erase(number)) {
    PTRACE(3, "H245", "far end reopens channel " << number);
    if (auto* owner = link_.GetOwner()) owner->OnChannelClosed(number, true);
  }
  auto* owner = link_.GetOwner();
  if (!owner) return;
  const IncomingAnswer answer = owner->OnOpenChannel(channel);
  if (!answer.accept) {
    const std::uint16_t count = asn::typeDesc(RejectCause::Id).count;
    return Reject(number, answer.rejectCause < count ? answer.rejectCause : std::uint16_t{RejectCause::unspecified});
  }
  theirs_.insert(number);
  asn::Value ack = NumberedMessage(MSCM::response, h245::ResponseMessage::openLogicalChannelAck, number);
  asn::Value& parameters =
      MessageBody(ack)
          .Field(h245::OpenLogicalChannelAck::forwardMultiplexAckParameters)
          .Select(h245::OpenLogicalChannelAck_forwardMultiplexAckParameters::h2250LogicalChannelAckParameters);
  using AckParams = h245::H2250LogicalChannelAckParameters;
  parameters.Field(AckParams::sessionID).SetInteger(channel.sessionID);
  asn::SetIpv4(parameters.Field(AckParams::mediaChannel), answer.media);
  asn::SetIpv4(parameters.Field(AckParams::mediaControlChannel), answer.control);
  parameters.Field(AckParams::flowControlToZero).SetBoolean(false);
  link_.Send(std::move(ack));
}

void H245LogicalChannels::OnOpenAck(const asn::Value& ack) {
  const unsigned number = NumberOf(ack);
  auto it = ours_.find(number);
  if (it == ours_.end() || it->second.state != State::Opening) {
    PTRACE(3, "H245", "OpenLogicalChannelAck for channel " << number << " that is not opening, ignored");
    return;
  }
  it->second.state = State::Open;
  it->second.timer->Cancel();
  MediaParameters media;
  const asn::Value* parameters = ack.Get(h245::OpenLogicalChannelAck::forwardMultiplexAckParameters);
  if (parameters &&
      parameters->Is(h245::OpenLogicalChannelAck_forwardMultiplexAckParameters::h2250LogicalChannelAckParameters))
    media = ReadH2250(parameters->Alternative());
  if (!media.media) PTRACE(2, "H245", "the far end acknowledged channel " << number << " without an RTP address");
  if (auto* owner = link_.GetOwner()) owner->OnChannelOpened(number, media.media, media.control, media.payloadType);
}

void H245LogicalChannels::OnOpenReject(const asn::Value& reject) {
  const unsigned number = NumberOf(reject);
  auto it = ours_.find(number);
  if (it == ours_.end() || it->second.state != State::Opening) return;
  ours_.erase(it);
  PTRACE(2, "H245", "the far end rejected channel " << number);
  if (auto* owner = link_.GetOwner()) owner->OnChannelRejected(number);
}

void H245LogicalChannels::OnClose(const asn::Value& request) {
  const unsigned number = NumberOf(request);
  link_.Send(NumberedMessage(MSCM::response, h245::ResponseMessage::closeLogicalChannelAck, number));
  closeRequests_.erase(number);
  if (!theirs_.erase(number)) return;
  if (auto* owner = link_.GetOwner()) owner->OnChannelClosed(number, true);
}

void H245LogicalChannels::OnCloseAck(const asn::Value& ack) {
  const unsigned number = NumberOf(ack);
  auto it = ours_.find(number);
  if (it == ours_.end() || it->second.state != State::Closing) return;
  const bool report = !it->second.closeReported;
  ours_.erase(it);
  if (report)
    if (auto* owner = link_.GetOwner()) owner->OnChannelClosed(number, false);
}

void H245LogicalChannels::OnRequestClose(const asn::Value& request) {
  const unsigned number = NumberOf(request);
  auto it = ours_.find(number);
  if (it == ours_.end()) {
    asn::Value reject = NumberedMessage(MSCM::response, h245::ResponseMessage::requestChannelCloseReject, number);
    MessageBody(reject)
        .Field(h245::RequestChannelCloseReject::cause)
        .Select(h245::RequestChannelCloseReject_cause::unspecified);
    link_.Send(std::move(reject));
    return;
  }
  link_.Send(NumberedMessage(MSCM::response, h245::ResponseMessage::requestChannelCloseAck, number));
  if (it->second.state == State::Closing) return;
  SendClose(number, it->second, true);
  if (auto* owner = link_.GetOwner()) owner->OnChannelClosed(number, true);
}

void H245LogicalChannels::OnRequestCloseAnswer(const asn::Value& answer, bool accepted) {
  const unsigned number = NumberOf(answer);
  if (!closeRequests_.erase(number)) return;
  if (!accepted) PTRACE(2, "H245", "the far end refused to close its channel " << number);
}

}  // namespace vantro::h245
