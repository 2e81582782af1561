#include "stack/h225/CallMedia.h"

#include "runtime/PTrace.h"
#include "stack/asn/generated/H245.h"
#include "stack/h225/H323Connection.h"

#include <algorithm>

namespace vantro::h225 {

using endpoint::H323Capability;
using endpoint::H323Channel;
using Direction = endpoint::H323Capability::Direction;
using Event = endpoint::H323ConnectionHost::CallEvent;

CallMedia::CallMedia(endpoint::H323ConnectionHost& host, endpoint::H323Connection& connection,
                     endpoint::H323Capabilities capabilities)
    : host_(host), connection_(connection), capabilities_(std::move(capabilities)) {}

CallMedia::~CallMedia() {
  // Normally emptied by TakeAll on the strand; this is the last resort, without callbacks.
  for (auto* channel : {&transmit_, &receive_})
    if (*channel) (*channel)->Close();
  for (auto& channel : retired_) channel->Close();
  if (session_) session_->Close();
}

bool CallMedia::OpenSession(const asn::Ipv4Address& localIp) {
  if (session_) return true;
  session_ = host_.OpenRtpSession(endpoint::kAudioSessionID, {localIp.ip, 0});
  if (!session_) {
    PTRACE(1, "H225", connection_.GetCallToken() << ": no RTP session could be opened");
    return false;
  }
  return true;
}

h245::FastStartLocal CallMedia::Local() const {
  return {endpoint::kAudioSessionID, session_->GetLocalDataAddress(), session_->GetLocalControlAddress()};
}

std::vector<Octets> CallMedia::BuildProposals() {
  if (!session_ || capabilities_.GetSize() == 0) return {};
  proposals_ = h245::BuildFastStartProposals(capabilities_, Local());
  return proposals_;
}

std::vector<Octets> CallMedia::AnswerProposals(const std::vector<Octets>& proposals) {
  if (!session_ || proposals.empty()) return {};
  h245::FastStartAnswer answer = h245::SelectFastStart(proposals, capabilities_, Local());
  if (answer.reply.empty()) return {};
  bool started = false;
  for (const h245::FastStartChannel& c : answer.channels) {
    if (!c.capability) continue;
    if (c.remoteControl) session_->SetRemoteControlAddress(*c.remoteControl);
    if (c.weTransmit) {
      if (!c.remoteMedia) continue;
      session_->SetRemoteDataAddress(*c.remoteMedia);
    }
    const unsigned frames =
        c.weTransmit ? std::min(c.capability->GetTxFramesInPacket(), c.capability->GetFramesInPacket(c.audioCapability))
                     : 0;
    started |= StartChannel(c.capability, c.weTransmit, c.number, c.payloadType, frames);
  }
  if (!started) return {};
  fastStarted_ = true;
  return answer.reply;
}

bool CallMedia::TakeFastStartAnswer(const std::vector<Octets>& reply) {
  if (fastStarted_ || !session_ || proposals_.empty()) return fastStarted_;
  bool started = false;
  for (const h245::FastStartChannel& c : h245::ReadFastStartAnswer(reply, capabilities_, Local())) {
    if (!c.capability) continue;
    if (c.remoteControl) session_->SetRemoteControlAddress(*c.remoteControl);
    if (c.weTransmit) {
      if (!c.remoteMedia || transmit_) continue;
      session_->SetRemoteDataAddress(*c.remoteMedia);
    } else if (receive_) {
      continue;
    }
    const unsigned frames = c.weTransmit ? std::min(c.capability->GetTxFramesInPacket(),
                                                    std::max(1u, c.capability->GetFramesInPacket(c.audioCapability)))
                                         : 0;
    started |= StartChannel(c.capability, c.weTransmit, c.number, c.payloadType, frames);
  }
  fastStarted_ = started;
  return started;
}

bool CallMedia::StartChannel(const std::shared_ptr<const H323Capability>& capability, bool transmit, unsigned number,
                             std::optional<unsigned> payloadType, unsigned framesPerPacket) {
  H323Channel::Parameters parameters;
  parameters.capability = capability;
  parameters.direction = transmit ? H323Channel::IsTransmitter : H323Channel::IsReceiver;
  parameters.number = number;
  parameters.payloadType = payloadType;
  parameters.framesPerPacket = framesPerPacket;
  auto channel = host_.CreateChannel(session_, parameters);
  const char* what = transmit ? "transmit" : "receive";
  if (!channel) {
    PTRACE(2, "H225", connection_.GetCallToken() << ": no " << what << " channel for " << capability->GetFormatName());
    return false;
  }
  if (!channel->Start()) {
    PTRACE(2, "H225",
           connection_.GetCallToken() << ": the " << what << " channel for " << capability->GetFormatName()
                                      << " did not start");
    channel->Close();
    return false;
  }
  PTRACE(3, "H225",
         connection_.GetCallToken() << ": " << what << " channel " << number << " " << capability->GetFormatName()
                                    << " started");
  auto& slot = transmit ? transmit_ : receive_;
  if (slot) Retire(std::move(slot));
  slot = std::move(channel);
  if (!h245Opening_) fastStartChannels_.emplace_back(number, transmit);
  host_.OnStartLogicalChannel(connection_, *slot);
  host_.OnCallEvent(connection_, Event::MediaStarted, std::string(what) + " " + capability->GetFormatName());
  return true;
}

void CallMedia::Retire(std::unique_ptr<H323Channel> channel) {
  if (!channel) return;
  host_.OnClosedLogicalChannel(connection_, *channel);
  retired_.push_back(std::move(channel));
}

bool CallMedia::OpenTransmitChannel(h245::H245Control& control) {
  if (transmit_ || pending_ || !session_) return true;
  const h245::RemoteCapabilities* remote = control.GetRemoteCapabilities();
  if (!remote) return false;
  candidates_.clear();
  const std::vector<asn::Value> theirs = remote->ReceiveAudio();
  for (const auto& entry : capabilities_.Entries()) {
    for (const asn::Value& v : theirs) {
      if (!entry.capability->IsMatch(v)) continue;
      const unsigned rx = std::max(1u, entry.capability->GetFramesInPacket(v));
      candidates_.push_back({0, entry.capability, std::min(entry.capability->GetTxFramesInPacket(), rx)});
      break;
    }
  }
  std::reverse(candidates_.begin(), candidates_.end());  // the next is at the back
  return OpenNextCandidate(control);
}

bool CallMedia::OpenNextCandidate(h245::H245Control& control) {
  if (candidates_.empty()) return false;
  Pending next = candidates_.back();
  candidates_.pop_back();
  h245::OutgoingChannel channel;
  channel.sessionID = endpoint::kAudioSessionID;
  channel.audioCapability = next.capability->GetAudioCapability(Direction::Transmit, next.framesPerPacket);
  channel.control = session_->GetLocalControlAddress();
  next.number = control.OpenChannel(channel);
  PTRACE(3, "H225",
         connection_.GetCallToken() << ": opening transmit channel " << next.number << " "
                                    << next.capability->GetFormatName());
  pending_ = next;
  return true;
}

bool CallMedia::OnChannelRejected(unsigned number, h245::H245Control& control) {
  if (!pending_ || pending_->number != number) return true;
  PTRACE(2, "H225", connection_.GetCallToken() << ": the far end rejected " << pending_->capability->GetFormatName());
  pending_.reset();
  return OpenNextCandidate(control);
}

void CallMedia::OnChannelOpened(unsigned number, std::optional<asn::Ipv4Address> media,
                                std::optional<asn::Ipv4Address> control, std::optional<unsigned> payloadType) {
  if (!pending_ || pending_->number != number || !session_) return;
  Pending opened = *pending_;
  pending_.reset();
  if (control) session_->SetRemoteControlAddress(*control);
  if (!media) {
    PTRACE(2, "H225", connection_.GetCallToken() << ": channel " << number << " acknowledged without a media address");
    return;
  }
  session_->SetRemoteDataAddress(*media);
  h245Opening_ = true;
  StartChannel(opened.capability, true, number, payloadType, opened.framesPerPacket);
  h245Opening_ = false;
}

h245::IncomingAnswer CallMedia::OnOpenChannel(const h245::IncomingChannel& channel) {
  using Cause = asn::h245::OpenLogicalChannelReject_cause;
  h245::IncomingAnswer answer;
  if (!session_ || channel.sessionID != endpoint::kAudioSessionID) {
    answer.rejectCause = Cause::invalidSessionID;
    return answer;
  }
  auto capability = capabilities_.FindMatch(channel.audioCapability);
  if (!capability) {
    answer.rejectCause = Cause::dataTypeNotSupported;
    return answer;
  }
  if (channel.remoteControl) session_->SetRemoteControlAddress(*channel.remoteControl);
  h245Opening_ = true;
  const bool started = StartChannel(capability, false, channel.number, channel.payloadType, 0);
  h245Opening_ = false;
  if (!started) {
    answer.rejectCause = Cause::dataTypeNotAvailable;
    return answer;
  }
  answer.accept = true;
  answer.media = session_->GetLocalDataAddress();
  answer.control = session_->GetLocalControlAddress();
  return answer;
}

void CallMedia::OnChannelClosed(unsigned number) {
  if (pending_ && pending_->number == number) pending_.reset();
  if (transmit_ && transmit_->GetNumber() == number) Retire(std::move(transmit_));
  if (receive_ && receive_->GetNumber() == number) Retire(std::move(receive_));
}

endpoint::H323Channel* CallMedia::FindChannel(unsigned sessionID, bool fromRemote) const {
  const auto& channel = fromRemote ? receive_ : transmit_;
  return channel && channel->GetSessionID() == sessionID ? channel.get() : nullptr;
}

std::vector<std::unique_ptr<H323Channel>> CallMedia::TakeRetired() { return std::move(retired_); }

CallMedia::Resources CallMedia::TakeAll() {
  Resources r;
  Retire(std::move(transmit_));
  Retire(std::move(receive_));
  r.channels = std::move(retired_);
  retired_.clear();
  r.session = std::move(session_);
  pending_.reset();
  candidates_.clear();
  return r;
}

void CallMedia::Resources::Close() {
  for (auto& channel : channels)
    if (channel) channel->Close();
  channels.clear();
  if (session) session->Close();
  session.reset();
}

}  // namespace vantro::h225
