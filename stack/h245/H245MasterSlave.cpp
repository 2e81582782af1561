#include "stack/h245/H245MasterSlave.h"

#include "runtime/PTrace.h"
#include "stack/asn/generated/H245.h"
#include "stack/h245/H245Messages.h"

#include <algorithm>

namespace vantro::h245 {

namespace h245 = asn::h245;
using namespace names;
using MSD = h245::MasterSlaveDetermination;
using Decision = h245::MasterSlaveDeterminationAck_decision;

namespace {
constexpr std::uint32_t kModulus = 1u << 24;
constexpr std::uint32_t kHalf = 1u << 23;
}  // namespace

H245MasterSlave::H245MasterSlave(H245Link& link) : link_(link), timer_(link), random_(std::random_device{}()) {
  number_ = NewNumber();
}

H245MasterSlave::Result H245MasterSlave::Decide(unsigned ourType, std::uint32_t ourNumber, unsigned theirType,
                                                std::uint32_t theirNumber) {
  if (theirType != ourType) return theirType < ourType ? Result::Master : Result::Slave;
  const std::uint32_t difference = (theirNumber - ourNumber) % kModulus;
  if (difference == 0 || difference == kHalf) return Result::Indeterminate;
  return difference < kHalf ? Result::Master : Result::Slave;
}

std::uint32_t H245MasterSlave::NewNumber() {
  const auto& generator = link_.GetSettings().randomNumber;
  return (generator ? generator() : static_cast<std::uint32_t>(random_())) % kModulus;
}

void H245MasterSlave::Start() {
  if (state_ != State::Idle || master_) return;
  tries_ = 0;
  SendRequest();
}

void H245MasterSlave::Reset() {
  timer_.Cancel();
  state_ = State::Idle;
  master_.reset();
  number_ = NewNumber();
}

void H245MasterSlave::SendRequest() {
  ++tries_;
  state_ = State::Outgoing;
  asn::Value message = NewMessage(MSCM::request, h245::RequestMessage::masterSlaveDetermination);
  MessageBody(message).Field(MSD::terminalType).SetInteger(link_.GetSettings().terminalType);
  MessageBody(message).Field(MSD::statusDeterminationNumber).SetInteger(number_);
  link_.Send(std::move(message));
  timer_.Start(link_.GetSettings().requestTimeout, [this] { OnTimeout(); });
}

void H245MasterSlave::SendAck(bool weAreMaster) {
  // The decision tells the receiver its own status.
  asn::Value message = NewMessage(MSCM::response, h245::ResponseMessage::masterSlaveDeterminationAck);
  MessageBody(message)
      .Field(h245::MasterSlaveDeterminationAck::decision)
      .Select(weAreMaster ? Decision::slave : Decision::master);
  link_.Send(std::move(message));
}

void H245MasterSlave::Retry(const char* why) {
  const int limit = std::max(1, link_.GetSettings().masterSlaveRetries);
  if (tries_ >= limit) {
    Finish(std::string("master/slave determination failed after ") + std::to_string(tries_) + " tries: " + why);
    return;
  }
  PTRACE(3, "H245", "master/slave determination " << why << ", trying again");
  number_ = NewNumber();
  SendRequest();
}

void H245MasterSlave::Finish(const std::string& failure) {
  timer_.Cancel();
  state_ = State::Idle;
  if (!failure.empty()) link_.Fail(failure);
}

void H245MasterSlave::OnRequest(const asn::Value& request) {
  const unsigned theirType = static_cast<unsigned>(request[MSD::terminalType].Integer());
  const std::uint32_t theirNumber = static_cast<std::uint32_t>(request[MSD::statusDeterminationNumber].Integer());
  const Result result = Decide(link_.GetSettings().terminalType, number_, theirType, theirNumber);
  if (result == Result::Indeterminate) {
    if (state_ == State::Outgoing) return Retry("was indeterminate");
    // Idle (or a far end that started over): it picks a new number after our reject.
    Finish({});
    asn::Value reject = NewMessage(MSCM::response, h245::ResponseMessage::masterSlaveDeterminationReject);
    MessageBody(reject)
        .Field(h245::MasterSlaveDeterminationReject::cause)
        .Select(h245::MasterSlaveDeterminationReject_cause::identicalNumbers);
    link_.Send(std::move(reject));
    return;
  }
  pending_ = result == Result::Master;
  state_ = State::Incoming;
  SendAck(pending_);
  timer_.Start(link_.GetSettings().requestTimeout, [this] { OnTimeout(); });
}

bool H245MasterSlave::OnAck(const asn::Value& ack) {
  const bool master = ack[h245::MasterSlaveDeterminationAck::decision].Is(Decision::master);
  switch (state_) {
    case State::Outgoing:
      Finish({});
      master_ = master;
      SendAck(master);
      break;
    case State::Incoming:
      if (master != pending_) {
        Finish("the far end's master/slave acknowledgement contradicts the determination");
        return false;
      }
      Finish({});
      master_ = master;
      break;
    case State::Idle: PTRACE(3, "H245", "master/slave acknowledgement without a determination, ignored"); return false;
  }
  PTRACE(3, "H245", "master/slave determined: " << (master ? "master" : "slave"));
  return true;
}

void H245MasterSlave::OnReject() {
  switch (state_) {
    case State::Outgoing: Retry("was rejected (identical numbers)"); break;
    case State::Incoming: Finish("the far end rejected our master/slave acknowledgement"); break;
    case State::Idle: PTRACE(3, "H245", "master/slave reject without a determination, ignored"); break;
  }
}

void H245MasterSlave::OnRelease() {
  if (state_ == State::Idle) return;
  Finish("the far end released master/slave determination");
}

void H245MasterSlave::OnTimeout() {
  if (state_ == State::Outgoing)
    link_.Send(NewMessage(MSCM::indication, h245::IndicationMessage::masterSlaveDeterminationRelease));
  Finish("no answer in master/slave determination");
}

}  // namespace vantro::h245
