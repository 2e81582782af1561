#pragma once
// Admission and disengage of described calls, waited for on the test's thread.

#include "tests/stack/endpoint/RegistrationFixture.h"

#include <future>
#include <memory>
#include <random>

namespace vantro::test {

using CallInfo = Gk::CallInfo;
using Outcome = Gk::Admission::Outcome;

inline std::string RandomGuid() {
  static std::mt19937 random{std::random_device{}()};
  std::string guid(16, '\0');
  for (char& c : guid) c = static_cast<char>(random());
  return guid;
}

// An outgoing call to alias (incoming when answer is set, from alias).
inline CallInfo MakeCallInfo(std::uint16_t reference, const std::string& alias, bool answer = false) {
  CallInfo call;
  call.callReference = reference;
  call.callIdentifier = RandomGuid();
  call.conferenceID = RandomGuid();
  call.answerCall = answer;
  (answer ? call.sourceAlias : call.destinationAlias) = alias;
  return call;
}

inline Gk::Admission Admit(Gk& gatekeeper, const CallInfo& call) {
  auto done = std::make_shared<std::promise<Gk::Admission>>();
  auto answer = done->get_future();
  gatekeeper.RequestAdmission(call, [done](Gk::Admission a) { done->set_value(std::move(a)); });
  // A guard against hanging, not a speed test.
  if (answer.wait_for(20s) != std::future_status::ready) {
    ADD_FAILURE() << "no admission outcome";
    return {};
  }
  return answer.get();
}

// Disengages and waits for done; false when done never came.
inline bool Disengage(Gk& gatekeeper, const CallInfo& call, std::uint16_t reason = h225::DisengageReason::normalDrop) {
  auto done = std::make_shared<std::promise<void>>();
  auto finished = done->get_future();
  gatekeeper.Disengage(call, reason, [done] { done->set_value(); });
  return finished.wait_for(20s) == std::future_status::ready;
}

inline std::string Guid(const asn::Value& callIdentifier) { return callIdentifier[h225::CallIdentifier::guid].Bytes(); }

}  // namespace vantro::test
