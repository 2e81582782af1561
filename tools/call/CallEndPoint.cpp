#include "tools/call/CallEndPoint.h"

namespace vantro::tool {

namespace {

using endpoint::H323Channel;
using endpoint::H323Connection;

std::optional<MediaSnapshot> Snapshot(const H323Channel* channel) {
  if (!channel) return std::nullopt;
  return MediaSnapshot{channel->GetNumber(), channel->GetCapability().GetFormatName(), channel->GetStatistics()};
}

ToolEvent EventOf(ToolEvent::Kind kind, H323Connection& connection) {
  ToolEvent e;
  e.kind = kind;
  e.token = connection.GetCallToken();
  return e;
}

}  // namespace

void CallEndPoint::OnConnectionCleared(H323Connection& connection, const std::string&) {
  ToolEvent e = EventOf(ToolEvent::Kind::Cleared, connection);
  e.endReason = connection.GetCallEndReason();
  e.q931Cause = connection.GetQ931Cause();
  e.established = connection.GetConnectionStartTime().has_value();
  events_.Push(std::move(e));
}

CallEndPoint::AnswerCallResponse CallEndPoint::OnAnswerCall(H323Connection& connection, const std::string&,
                                                            const q931::Q931Message&) {
  ToolEvent e = EventOf(ToolEvent::Kind::Incoming, connection);
  e.remoteName = connection.GetRemotePartyName();
  e.remoteNumber = connection.GetRemotePartyNumber();
  e.remoteAddress = connection.GetRemotePartyAddress();
  events_.Push(std::move(e));
  switch (answering_) {
    case Answering::AtOnce: return AnswerCallNow;
    case Answering::AfterRinging: return AnswerCallPending;
    case Answering::Refuse: break;
  }
  return AnswerCallDenied;
}

void CallEndPoint::OnUserInputString(H323Connection& connection, const std::string& value) {
  ToolEvent e = EventOf(ToolEvent::Kind::UserInput, connection);
  e.detail = value;
  events_.Push(std::move(e));
}

void CallEndPoint::OnClosedLogicalChannel(H323Connection& connection, H323Channel& channel) {
  ToolEvent e = EventOf(ToolEvent::Kind::ChannelClosed, connection);
  (channel.GetDirection() == H323Channel::IsTransmitter ? e.transmit : e.receive) = Snapshot(&channel);
  events_.Push(std::move(e));
}

void CallEndPoint::OnCallEvent(H323Connection& connection, CallEvent event, const std::string& detail) {
  if (event == CallEvent::Cleared) return;  // OnConnectionCleared tells it with the end reason
  ToolEvent e = EventOf(ToolEvent::Kind::Step, connection);
  e.step = event;
  e.detail = detail;
  if (event == CallEvent::Clearing) {
    // The channels close after this: their last figures are the call's.
    e.transmit = Snapshot(connection.FindChannel(endpoint::kAudioSessionID, false));
    e.receive = Snapshot(connection.FindChannel(endpoint::kAudioSessionID, true));
  }
  events_.Push(std::move(e));
}

}  // namespace vantro::tool
