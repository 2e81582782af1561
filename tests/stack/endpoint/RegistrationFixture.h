#pragma once
// An endpoint on 127.0.0.1 with short RAS timings, helpers to read what the test gatekeeper got,
// and calls to admit and disengage.

#include "stack/asn/H323Values.h"
#include "stack/asn/generated/H225.h"
#include "stack/endpoint/H323EndPoint.h"
#include "tests/support/TestGatekeeper.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <random>

namespace vantro::test {

namespace h225 = asn::h225;
using endpoint::H323EndPoint;
using Gk = ras::H323Gatekeeper;
using namespace std::chrono_literals;

inline ras::RasTimings FastTimings() {
  ras::RasTimings t;
  t.discoveryTimeout = 200ms;
  t.discoveryTries = 2;
  t.requestTimeout = 200ms;
  t.requestTries = 2;
  t.unregisterTimeout = 200ms;
  t.unregisterTries = 1;
  t.resolveTimeout = 2s;
  return t;
}

// Fast timings, and a time to live counted in fifths of a second (grant at least five: a
// keep-alive waits a fifth of the time to live for its answer).
inline ras::RasTimings KeepAliveTimings() {
  ras::RasTimings t = FastTimings();
  t.timeToLiveSecond = 200ms;
  return t;
}

// The endpoint as the dialer sets it up, listening on an ephemeral port of 127.0.0.1.
inline void Prepare(H323EndPoint& ep, const std::string& alias, const std::string& password = "") {
  ep.SetLocalUserName(alias);
  ep.SetGatekeeperPassword(password);
  ep.SetRasTimings(FastTimings());
  ep.SetRegistrationTimeToLive(10000ms);
  ASSERT_TRUE(ep.StartListeners({"127.0.0.1:0"}));
}

// A gatekeeper that checks passwords of this kind against the tests' password.
inline TestGatekeeper::Script Secured(TestGatekeeper::Auth auth) {
  TestGatekeeper::Script script;
  script.auth = auth;
  script.password = "secret";
  return script;
}

// An endpoint (5550100) with the script's password, and a test gatekeeper of this script.
struct Unregistered {
  explicit Unregistered(TestGatekeeper::Script script = {}) : gk(script) { Prepare(ep, "5550100", script.password); }
  bool Register() { return ep.UseGatekeeper(gk.Address()); }

  TestGatekeeper gk;
  H323EndPoint ep;
};

// The same, registered.
struct Registered : Unregistered {
  explicit Registered(TestGatekeeper::Script script = {}, const ras::RasTimings& timings = FastTimings())
      : Unregistered(script) {
    ep.SetRasTimings(timings);
    EXPECT_TRUE(Register());
  }
  Gk& Gatekeeper() { return *ep.GetGatekeeper(); }
};

inline unsigned FailReason(const H323EndPoint& ep) {
  auto gk = ep.GetGatekeeper();
  return gk ? gk->GetRegistrationFailReason() : 0xffffffffu;
}

inline const asn::Value& Body(const TestGatekeeper::Received& r) { return r.message.Alternative(); }

// Admission and disengage of described calls, waited for on the test's thread.
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
