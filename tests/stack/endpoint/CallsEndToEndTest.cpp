// Calls between two endpoints of ours through the test gatekeeper on 127.0.0.1, direct and routed;
// every call reaches OnConnectionCleared exactly once, with the reason its end had.

#include "stack/asn/generated/H225.h"
#include "tests/stack/endpoint/TestPhone.h"
#include "tests/support/TestGatekeeper.h"

#include <gtest/gtest.h>

namespace vantro::test {
namespace {

namespace h = asn::h225;
using E = H323Connection;
using Event = H323EndPoint::CallEvent;
constexpr double kCallerTone = 440;
constexpr double kCalleeTone = 1000;
constexpr double kHeard = 0.03;  // of full scale: the tone went in at 0.3

struct Calls {
  explicit Calls(bool routed, TestGatekeeper::Script script = {})
      : gk([&] {
          script.routed = routed;
          return script;
        }()),
        caller("5550100", kCallerTone, 42000),
        callee("5550200", kCalleeTone, 42400) {
    EXPECT_TRUE(caller.Register(gk.Address()));
    EXPECT_TRUE(callee.Register(gk.Address()));
  }
  // Places a call from the caller to the callee and waits until both have it established.
  std::string Connect(const std::string& party = "5550200@") {
    std::string token;
    EXPECT_TRUE(caller.MakeCall(party, token));
    EXPECT_TRUE(caller.WaitFor([&] { return !caller.Established().empty() && !callee.Established().empty(); }));
    return token;
  }
  bool BothHear() {
    return caller.WaitFor(
        [&] { return caller.ToneHeard(kCalleeTone) > kHeard && callee.ToneHeard(kCallerTone) > kHeard; }, 5s);
  }

  TestGatekeeper gk;
  TestPhone caller;
  TestPhone callee;
};

void ExpectClearedOnce(TestPhone& phone, E::CallEndReason reason, std::optional<unsigned> cause = std::nullopt) {
  ASSERT_TRUE(phone.WaitCleared());
  std::this_thread::sleep_for(100ms);
  const auto cleared = phone.ClearedCalls();
  ASSERT_EQ(cleared.size(), 1u);
  EXPECT_EQ(cleared[0].reason, reason) << E::CallEndReasonName(cleared[0].reason) << " instead of "
                                       << E::CallEndReasonName(reason);
  if (cause) {
    EXPECT_EQ(cleared[0].cause, cause);
  }
  EXPECT_TRUE(phone.GetAllConnections().empty());
}

enum class H245Way { Tunnelled, CallerSeparate, CalleeSeparate };
using Mode = std::tuple<bool, bool, H245Way>;  // routed, fast start, H.245 transport

std::string ModeName(const ::testing::TestParamInfo<Mode>& info) {
  const auto [routed, fastStart, h245] = info.param;
  const char* ways[] = {"Tunnelled", "CallerNoTunnel", "CalleeNoTunnel"};
  return std::string(routed ? "Routed" : "Direct") + (fastStart ? "FastStart" : "NoFastStart") +
         ways[static_cast<int>(h245)];
}

class CallMatrix : public ::testing::TestWithParam<Mode> {};

TEST_P(CallMatrix, SetsUpCarriesAudioAndKeysBothWaysAndClears) {
  const bool routed = std::get<0>(GetParam()), fastStart = std::get<1>(GetParam());
  const H245Way h245 = std::get<2>(GetParam());
  Calls c(routed);
  c.callee.DisableFastStart(!fastStart);  // the caller proposes; the callee accepts or refuses
  c.caller.DisableH245Tunneling(h245 == H245Way::CallerSeparate);
  c.callee.DisableH245Tunneling(h245 == H245Way::CalleeSeparate);

  const std::string token = c.Connect();
  ASSERT_TRUE(c.BothHear()) << "caller hears " << c.caller.ToneHeard(kCalleeTone) << ", callee hears "
                            << c.callee.ToneHeard(kCallerTone);
  EXPECT_TRUE(c.caller.HasStep(token, fastStart ? Event::FastStartAccepted : Event::FastStartRefused));
  const std::string way = h245 == H245Way::Tunnelled ? "tunnelled" : "separate connection";
  bool sawH245 = false;
  for (const auto& s : c.caller.Steps())
    if (s.event == Event::H245Connected) sawH245 = s.detail == way;
  EXPECT_TRUE(sawH245) << "H.245 is not " << way;
  if (routed) {
    EXPECT_GE(c.gk.Relay().SetupsRelayed(), 1u);
  }

  // Keys in order, each one a message of its own.
  for (const char* key : {"1", "2", "3", "#"}) {
    auto call = c.caller.FindConnectionWithLock(token);
    ASSERT_TRUE(call);
    call->SendUserInput(key);
  }
  const std::string calleeToken = c.callee.Established().at(0);
  for (const char* key : {"9", "*"})
    if (auto call = c.callee.FindConnectionWithLock(calleeToken)) call->SendUserInput(key);
  ASSERT_TRUE(c.caller.WaitFor([&] { return c.callee.UserInput().size() == 4 && c.caller.UserInput().size() == 2; }));
  EXPECT_EQ(c.callee.UserInput(), (std::vector<std::string>{"1", "2", "3", "#"}));
  EXPECT_EQ(c.caller.UserInput(), (std::vector<std::string>{"9", "*"}));

  // The gatekeeper hears of the call when it asks.
  std::string id;
  if (auto call = c.caller.FindConnectionWithLock(token)) id = call->GetCallIdentifier();
  auto irr = c.gk.SendInfoRequest(2s, 0, id, TestGatekeeper::Signing::AsScript, "5550100");
  ASSERT_TRUE(irr && irr->Is(h::RasMessage::infoRequestResponse));
  const asn::Value* calls = irr->Alternative().Get(h::InfoRequestResponse::perCallInfo);
  ASSERT_TRUE(calls && calls->Size() == 1);
  EXPECT_EQ(calls->At(0)[h::InfoRequestResponse_perCallInfo_item::callIdentifier][h::CallIdentifier::guid].Bytes(), id);
  EXPECT_TRUE(calls->At(0)[h::InfoRequestResponse_perCallInfo_item::originator].Boolean());

  EXPECT_TRUE(c.caller.ClearCall(token));
  ExpectClearedOnce(c.caller, E::EndedByLocalUser, 16);
  ExpectClearedOnce(c.callee, E::EndedByRemoteUser, 16);
  EXPECT_TRUE(c.gk.WaitUntil([&](const auto&) { return c.gk.ActiveCalls() == 0; }, 5s));
}

INSTANTIATE_TEST_SUITE_P(Calls, CallMatrix,
                         ::testing::Combine(::testing::Bool(), ::testing::Bool(),
                                            ::testing::Values(H245Way::Tunnelled, H245Way::CallerSeparate,
                                                              H245Way::CalleeSeparate)),
                         ModeName);

class CodecChoice : public ::testing::TestWithParam<std::tuple<std::string, bool>> {};

TEST_P(CodecChoice, TheCalleesOnlyFormatIsUsedBothWays) {
  const auto& [format, fastStart] = GetParam();
  Calls c(false);
  c.callee.UseCodecs({format});
  c.callee.DisableFastStart(!fastStart);
  const std::string token = c.Connect();
  ASSERT_TRUE(c.BothHear());
  EXPECT_EQ(c.caller.Formats(token), std::make_pair(format, format));
  EXPECT_EQ(c.callee.Formats(c.callee.Established().at(0)), std::make_pair(format, format));
}

INSTANTIATE_TEST_SUITE_P(
    Calls, CodecChoice,
    ::testing::Combine(::testing::Values("G.729A", "G.723.1A", "G.711-uLaw-64k"), ::testing::Bool()),
    [](const auto& info) {
      std::string name = std::get<0>(info.param) + (std::get<1>(info.param) ? "FastStart" : "H245");
      name.erase(std::remove_if(name.begin(), name.end(), [](char ch) { return !std::isalnum(ch); }), name.end());
      return name;
    });

class EarlyMedia : public ::testing::TestWithParam<bool> {};

TEST_P(EarlyMedia, TheFarEndIsHeardBeforeConnect) {
  Calls c(true);
  c.callee.DisableFastStart(!GetParam());
  c.callee.SetAnswerLater(true);
  std::string token;
  ASSERT_TRUE(c.caller.MakeCall("5550200@", token));
  ASSERT_TRUE(c.caller.WaitFor([&] { return c.caller.Alerts() == 1; }));
  ASSERT_TRUE(c.BothHear());
  EXPECT_TRUE(c.caller.Established().empty());
  EXPECT_TRUE(c.caller.HasStep(token, Event::MediaStarted));
  EXPECT_FALSE(c.caller.HasStep(token, Event::Connected));
  c.callee.Answer(c.callee.Incoming().at(0));
  ASSERT_TRUE(
      c.caller.WaitFor([&] { return c.caller.Established().size() == 1 && c.callee.Established().size() == 1; }));
  c.callee.ClearCall(c.callee.Established().at(0));
  ExpectClearedOnce(c.callee, E::EndedByLocalUser, 16);
  ExpectClearedOnce(c.caller, E::EndedByRemoteUser, 16);
  EXPECT_TRUE(c.caller.ClearedCalls()[0].established);
}

INSTANTIATE_TEST_SUITE_P(Calls, EarlyMedia, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "FastStart" : "H245"); });

TEST(CallClearing, TheCallerGivesUpWhileTheGatekeeperThinks) {
  TestGatekeeper::Script script;
  script.answerAdmission = false;
  Calls c(false, script);
  std::string token;
  ASSERT_TRUE(c.caller.MakeCall("5550200@", token));
  ASSERT_TRUE(c.gk.WaitForMessages(asn::h225::RasMessage::admissionRequest));
  EXPECT_TRUE(c.caller.ClearCall(token));
  ExpectClearedOnce(c.caller, E::EndedByLocalUser);
  EXPECT_TRUE(c.callee.Incoming().empty());
}

TEST(CallClearing, EitherSideWhileItRings) {
  for (bool byCaller : {true, false}) {
    SCOPED_TRACE(byCaller ? "caller hangs up" : "callee refuses");
    Calls c(true);
    c.callee.SetAnswerLater(true);
    std::string token;
    ASSERT_TRUE(c.caller.MakeCall("5550200@", token));
    ASSERT_TRUE(c.caller.WaitFor([&] { return c.caller.Alerts() == 1; }));
    if (byCaller)
      c.caller.ClearCall(token);
    else
      c.callee.ClearCall(c.callee.Incoming().at(0));
    ExpectClearedOnce(byCaller ? c.caller : c.callee, E::EndedByLocalUser, 16);
    ExpectClearedOnce(byCaller ? c.callee : c.caller, E::EndedByRemoteUser, 16);
    EXPECT_FALSE(c.caller.ClearedCalls()[0].established);
  }
}

TEST(CallClearing, TheGatekeeperEndsTheCall) {
  Calls c(false);
  c.Connect();
  EXPECT_GE(c.gk.DropCalls(), 1u);
  ExpectClearedOnce(c.caller, E::EndedByGatekeeper);
  ASSERT_TRUE(c.callee.WaitCleared());
}

TEST(CallRefused, ByTheGatekeeperOrForAnUnknownNumber) {
  TestGatekeeper::Script refusing;
  refusing.admissionReject = asn::h225::AdmissionRejectReason::requestDenied;
  const struct {
    TestGatekeeper::Script script;
    bool routed;
    const char* number;
    E::CallEndReason reason;
  } cases[] = {{refusing, false, "5550200@", E::EndedByGatekeeper}, {{}, true, "5559999@", E::EndedByNoUser}};
  for (const auto& r : cases) {
    SCOPED_TRACE(r.number);
    Calls c(r.routed, r.script);
    std::string token;
    ASSERT_TRUE(c.caller.MakeCall(r.number, token));
    EXPECT_FALSE(token.empty());
    ExpectClearedOnce(c.caller, r.reason);
    EXPECT_TRUE(c.callee.Incoming().empty());
  }
}

// Through the relay (CallToolTest's busy answerer is called directly).
TEST(CallRefused, ABusyCalleeRefusesASecondCallAndKeepsTheFirst) {
  Calls c(true);
  const std::string first = c.Connect();
  TestPhone third("5550300", 700, 42800);
  ASSERT_TRUE(third.Register(c.gk.Address()));
  std::string token;
  ASSERT_TRUE(third.MakeCall("5550200@", token));
  ExpectClearedOnce(third, E::EndedByRemoteBusy, 17);
  // The callee never heard of it, and the first call goes on.
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(c.callee.Incoming().size(), 1u);
  EXPECT_TRUE(c.callee.ClearedCalls().empty());
  EXPECT_TRUE(c.caller.HasConnection(first));
  EXPECT_TRUE(c.BothHear());
}

// After a gatekeeper restart (unregistered, unanswered a while) a call registers first.
TEST(CallAfterGatekeeperRestart, RegistersAgainFirstAndGoesThrough) {
  TestGatekeeper::Script script;
  script.routed = true;
  Calls c(true, script);
  auto down = script;
  down.answerRegistration = false;
  c.gk.SetScript(down);
  ASSERT_TRUE(c.gk.SendUnregistrationRequest(h::UnregRequestReason::maintenance, 2s, TestGatekeeper::Signing::AsScript,
                                             "5550100"));
  ASSERT_TRUE(c.caller.WaitFor([&] { return c.caller.GetGatekeeper()->IsRegistrationLost(); }));
  EXPECT_FALSE(c.caller.IsRegisteredWithGatekeeper());
  c.gk.SetScript(script);
  const std::size_t registrations = c.gk.RegistrationRequests(false).size();
  c.Connect();
  EXPECT_EQ(c.gk.RegistrationRequests(false).size(), registrations + 1);  // one, before the admission
  EXPECT_TRUE(c.caller.IsRegisteredWithGatekeeper());
  EXPECT_TRUE(c.BothHear());
}

}  // namespace
}  // namespace vantro::test
