#include "stack/h245/H245Control.h"

#include "runtime/PTrace.h"
#include "stack/asn/Per.h"
#include "stack/asn/Text.h"
#include "stack/asn/generated/H245.h"
#include "stack/h245/H245CapabilityExchange.h"
#include "stack/h245/H245Link.h"
#include "stack/h245/H245LogicalChannels.h"
#include "stack/h245/H245MasterSlave.h"
#include "stack/h245/H245Messages.h"
#include "stack/h245/H245Timer.h"
#include "stack/h245/H245UserInput.h"

#include <exception>

namespace vantro::h245 {

namespace h245 = asn::h245;
using namespace names;

struct H245Control::Impl {
  Impl(asio::any_io_executor strand, Owner& owner, Settings settings)
      : link(std::move(strand), owner, std::move(settings)),
        capabilities(link),
        masterSlave(link),
        channels(link),
        roundTrip(link) {}

  void Dispatch(const asn::Value& message);
  void OnRequest(const asn::Value& message);
  void OnResponse(const asn::Value& response);
  void OnCommand(const asn::Value& command);
  void OnIndication(const asn::Value& indication);
  void OnCapabilities(const asn::Value& set);
  void OnFunctionRefused(const asn::Value& indication);
  void NotSupported(const asn::Value& message);
  void NotUnderstood(const asn::Value& message);
  void CheckReady();
  void StopTimers();
  void Start();

  H245Link link;
  H245CapabilityExchange capabilities;
  H245MasterSlave masterSlave;
  H245LogicalChannels channels;
  H245Timer roundTrip;
  unsigned roundTripSequence = 0;
  std::chrono::steady_clock::time_point roundTripSent;
  std::optional<std::chrono::milliseconds> roundTripDelay;
  bool started = false;
  bool ready = false;
  bool paused = false;
  bool endReported = false;
  std::size_t malformed = 0;
};

// --- dispatching ---

void H245Control::Impl::Dispatch(const asn::Value& message) {
  if (message.Type() != MSCM::Id) {
    ++malformed;
    PTRACE(2, "H245", "not a MultimediaSystemControlMessage: " << message.TypeName());
    return;
  }
  PTRACE(4, "H245", "received " << asn::ToText(message));
  if (message.IsUnknownAlternative()) {
    PTRACE(3, "H245", "message of an unknown kind ignored");
    return;
  }
  const asn::Value& body = message.Alternative();
  if (link.IsEnded()) {
    // After EndSessionCommand only the far end's own EndSessionCommand means anything.
    if (message.Is(MSCM::command) && body.Is(Command::endSessionCommand)) OnCommand(body);
    return;
  }
  switch (message.Choice()) {
    case MSCM::request:
      if (body.IsUnknownAlternative())
        NotSupported(message);
      else
        OnRequest(message);
      break;
    case MSCM::response:
      if (!body.IsUnknownAlternative()) OnResponse(body);
      break;
    case MSCM::command:
      if (!body.IsUnknownAlternative()) OnCommand(body);
      break;
    case MSCM::indication:
      if (!body.IsUnknownAlternative()) OnIndication(body);
      break;
  }
}

void H245Control::Impl::OnRequest(const asn::Value& message) {
  const asn::Value& request = message.Alternative();
  const asn::Value& body = request.Alternative();
  switch (request.Choice()) {
    case Request::masterSlaveDetermination: masterSlave.OnRequest(body); break;
    case Request::terminalCapabilitySet: OnCapabilities(body); break;
    case Request::openLogicalChannel: channels.OnOpen(body, masterSlave.IsMaster()); break;
    case Request::closeLogicalChannel: channels.OnClose(body); break;
    case Request::requestChannelClose: channels.OnRequestClose(body); break;
    case Request::requestMode: {
      asn::Value reject = NewMessage(MSCM::response, Response::requestModeReject);
      asn::Value& r = MessageBody(reject);
      r.Field(h245::RequestModeReject::sequenceNumber).SetInteger(body[h245::RequestMode::sequenceNumber].Integer());
      r.Field(h245::RequestModeReject::cause).Select(h245::RequestModeReject_cause::modeUnavailable);
      link.Send(std::move(reject));
      break;
    }
    case Request::roundTripDelayRequest: {
      asn::Value answer = NewMessage(MSCM::response, Response::roundTripDelayResponse);
      MessageBody(answer)
          .Field(h245::RoundTripDelayResponse::sequenceNumber)
          .SetInteger(body[h245::RoundTripDelayRequest::sequenceNumber].Integer());
      link.Send(std::move(answer));
      break;
    }
    default: NotSupported(message); break;
  }
}

void H245Control::Impl::OnResponse(const asn::Value& response) {
  const asn::Value& body = response.Alternative();
  switch (response.Choice()) {
    case Response::masterSlaveDeterminationAck:
      if (masterSlave.OnAck(body)) CheckReady();
      break;
    case Response::masterSlaveDeterminationReject: masterSlave.OnReject(); break;
    case Response::terminalCapabilitySetAck:
      if (capabilities.OnAck(body)) CheckReady();
      break;
    case Response::terminalCapabilitySetReject: capabilities.OnReject(body); break;
    case Response::openLogicalChannelAck: channels.OnOpenAck(body); break;
    case Response::openLogicalChannelReject: channels.OnOpenReject(body); break;
    case Response::closeLogicalChannelAck: channels.OnCloseAck(body); break;
    case Response::requestChannelCloseAck: channels.OnRequestCloseAnswer(body, true); break;
    case Response::requestChannelCloseReject: channels.OnRequestCloseAnswer(body, false); break;
    case Response::roundTripDelayResponse: {
      const auto seq = static_cast<unsigned>(body[h245::RoundTripDelayResponse::sequenceNumber].Integer());
      if (!roundTrip.IsRunning() || seq != roundTripSequence) break;
      roundTrip.Cancel();
      roundTripDelay =
          std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - roundTripSent);
      PTRACE(3, "H245", "round trip delay " << roundTripDelay->count() << " ms");
      break;
    }
    default: PTRACE(3, "H245", "response ignored: " << asn::fieldDesc(response.Desc(), response.Choice()).name); break;
  }
}

void H245Control::Impl::OnCommand(const asn::Value& command) {
  switch (command.Choice()) {
    case Command::endSessionCommand:
      link.OnRemoteEnd();
      StopTimers();
      if (!endReported) {
        endReported = true;
        if (auto* owner = link.GetOwner()) owner->OnEndSession();
      }
      break;
    case Command::sendTerminalCapabilitySet:
      if (started) capabilities.SendOurs();
      break;
    default: PTRACE(4, "H245", "command ignored: " << asn::fieldDesc(command.Desc(), command.Choice()).name); break;
  }
}

void H245Control::Impl::OnIndication(const asn::Value& indication) {
  const asn::Value& body = indication.Alternative();
  switch (indication.Choice()) {
    case Indication::userInput:
      if (auto text = ReadUserInput(body)) {
        if (auto* owner = link.GetOwner()) owner->OnUserInput(*text);
      } else {
        PTRACE(4, "H245", "user input indication without a key: " << asn::ToText(body));
      }
      break;
    case Indication::masterSlaveDeterminationRelease: masterSlave.OnRelease(); break;
    case Indication::functionNotSupported:
    case Indication::functionNotUnderstood: OnFunctionRefused(indication); break;
    default:
      PTRACE(4, "H245", "indication ignored: " << asn::fieldDesc(indication.Desc(), indication.Choice()).name);
      break;
  }
}

void H245Control::Impl::OnCapabilities(const asn::Value& set) {
  const H245CapabilityExchange::Outcome outcome = capabilities.OnSet(set);
  if (outcome == H245CapabilityExchange::Outcome::Rejected) return;
  if (outcome == H245CapabilityExchange::Outcome::Emptied) {
    // The far end (or a gatekeeper on its behalf) pauses us: our channels close, its stay.
    PTRACE(3, "H245", "the far end sent an empty capability set: our channels close");
    paused = true;
    ready = false;
    channels.CloseAllOurs();
  } else if (paused) {
    // Resumed: everything starts over as when H.245 first came up.
    PTRACE(3, "H245", "the far end sent capabilities again: capability exchange and master/slave start over");
    paused = false;
    masterSlave.Reset();
    if (started) {
      capabilities.SendOurs();
      masterSlave.Start();
    }
  }
  if (auto* owner = link.GetOwner()) {
    if (const RemoteCapabilities* theirs = capabilities.Theirs()) owner->OnRemoteCapabilities(*theirs);
  }
  CheckReady();
}

void H245Control::Impl::OnFunctionRefused(const asn::Value& indication) {
  // A far end that cannot answer our round trip delay request has answered all the same.
  const asn::Value& body = indication.Alternative();
  std::optional<asn::Value> refused;
  if (indication.Is(Indication::functionNotUnderstood)) {
    if (body.Is(h245::FunctionNotUnderstood::request)) refused = body;
  } else if (const asn::Value* returned = body.Get(h245::FunctionNotSupported::returnedFunction)) {
    asn::Result<asn::Value> decoded = asn::Decode(MSCM::Id, returned->Octets());
    if (decoded && decoded->Is(MSCM::request)) refused = decoded->Alternative();
  }
  PTRACE(2, "H245", "the far end refused a function: " << asn::ToText(indication));
  if (refused && refused->Is(Request::roundTripDelayRequest) && roundTrip.IsRunning()) {
    roundTrip.Cancel();
    PTRACE(3, "H245", "the far end does not measure round trip delay");
  }
}

void H245Control::Impl::NotSupported(const asn::Value& message) {
  PTRACE(3, "H245", "answering " << MessageName(message) << " with FunctionNotSupported");
  asn::Value answer = NewMessage(MSCM::indication, Indication::functionNotSupported);
  asn::Value& body = MessageBody(answer);
  body.Field(h245::FunctionNotSupported::cause).Select(h245::FunctionNotSupported_cause::unknownFunction);
  if (asn::Result<std::vector<std::uint8_t>> bytes = asn::Encode(message))
    body.Field(h245::FunctionNotSupported::returnedFunction).SetBytes(std::span<const std::uint8_t>(*bytes));
  link.Send(std::move(answer));
}

void H245Control::Impl::NotUnderstood(const asn::Value& message) {
  if (message.Type() != MSCM::Id || message.IsUnknownAlternative() || message.Is(MSCM::indication)) return;
  asn::Value answer = NewMessage(MSCM::indication, Indication::functionNotUnderstood);
  MessageBody(answer).Select(message.Choice()) = message.Alternative();
  // Only what encodes goes out: a message built wrongly in memory would not.
  if (asn::Encode(answer)) link.Send(std::move(answer));
}

void H245Control::Impl::CheckReady() {
  if (ready || paused || !capabilities.IsOursAcknowledged() || !capabilities.HasTheirs() || !masterSlave.IsDetermined())
    return;
  ready = true;
  PTRACE(3, "H245", "capabilities exchanged, " << (masterSlave.IsMaster() ? "master" : "slave"));
  if (auto* owner = link.GetOwner()) owner->OnControlReady(masterSlave.IsMaster());
}

void H245Control::Impl::StopTimers() {
  capabilities.Stop();
  masterSlave.Stop();
  channels.Stop();
  roundTrip.Cancel();
}

void H245Control::Impl::Start() {
  if (started || link.IsEnded()) return;
  started = true;
  capabilities.SendOurs();
  masterSlave.Start();
}

// --- the control ---

H245Control::H245Control(asio::any_io_executor strand, Owner& owner, Settings settings)
    : impl_(std::make_shared<Impl>(std::move(strand), owner, std::move(settings))) {
  impl_->link.SetGuard(impl_);
}

H245Control::~H245Control() {
  impl_->link.Detach();
  impl_->StopTimers();
}

void H245Control::Start() {
  auto impl = impl_;
  try {
    impl->Start();
  } catch (const std::exception& e) {
    PTRACE(1, "H245", "start failed: " << e.what());
  }
}

void H245Control::HandleMessage(const asn::Value& message) {
  auto impl = impl_;  // an owner callback may destroy the control
  try {
    impl->Dispatch(message);
  } catch (const std::exception& e) {
    ++impl->malformed;
    PTRACE(2, "H245", "cannot handle " << MessageName(message) << ": " << e.what());
    try {
      if (!impl->link.IsEnded()) impl->NotUnderstood(message);
    } catch (const std::exception& again) {
      PTRACE(1, "H245", "cannot answer it either: " << again.what());
    }
  }
}

unsigned H245Control::OpenChannel(const OutgoingChannel& channel) {
  auto impl = impl_;
  try {
    return impl->channels.Open(channel);
  } catch (const std::exception& e) {
    PTRACE(1, "H245", "cannot open a channel: " << e.what());
    return 0;
  }
}

void H245Control::CloseChannel(unsigned number) {
  auto impl = impl_;
  try {
    impl->channels.Close(number);
  } catch (const std::exception& e) {
    PTRACE(1, "H245", "cannot close channel " << number << ": " << e.what());
  }
}

void H245Control::RequestChannelClose(unsigned number) {
  auto impl = impl_;
  try {
    impl->channels.RequestClose(number);
  } catch (const std::exception& e) {
    PTRACE(1, "H245", "cannot ask to close channel " << number << ": " << e.what());
  }
}

void H245Control::HoldTimeouts(bool hold) { impl_->link.HoldTimeouts(hold); }

void H245Control::AddFastStartChannel(unsigned number, bool weTransmit) { impl_->channels.AddOpen(number, weTransmit); }

void H245Control::SendUserInput(const std::string& text) {
  auto impl = impl_;
  try {
    const bool signals = !TakesUserInputStrings(impl->capabilities.Theirs());
    for (asn::Value& message : BuildUserInput(text, signals)) impl->link.Send(std::move(message));
  } catch (const std::exception& e) {
    PTRACE(1, "H245", "cannot send user input: " << e.what());
  }
}

void H245Control::SendRoundTripDelayRequest() {
  auto impl = impl_;
  if (impl->link.IsEnded()) return;
  impl->roundTripSequence = (impl->roundTripSequence + 1) % 256;
  asn::Value request = NewMessage(MSCM::request, Request::roundTripDelayRequest);
  MessageBody(request).Field(h245::RoundTripDelayRequest::sequenceNumber).SetInteger(impl->roundTripSequence);
  impl->roundTripSent = std::chrono::steady_clock::now();
  impl->link.Send(std::move(request));
  impl->roundTrip.Start(impl->link.GetSettings().requestTimeout,
                        [raw = impl.get()] { raw->link.Fail("no answer to our round trip delay request"); });
}

void H245Control::SendEndSession() {
  auto impl = impl_;
  impl->StopTimers();
  impl->link.SendEndSession();
}

bool H245Control::IsStarted() const { return impl_->started; }
bool H245Control::IsReady() const { return impl_->ready; }
bool H245Control::IsMaster() const { return impl_->masterSlave.IsMaster(); }
const RemoteCapabilities* H245Control::GetRemoteCapabilities() const { return impl_->capabilities.Theirs(); }
std::optional<std::chrono::milliseconds> H245Control::GetRoundTripDelay() const { return impl_->roundTripDelay; }
std::size_t H245Control::GetMalformedCount() const { return impl_->malformed; }

}  // namespace vantro::h245
