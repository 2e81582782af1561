#include <gtest/gtest.h>

#include "h323/CDialerEndPoint.h"
#include "tests/support/RecordingEvents.h"

namespace {

TEST(DialerEndPoint, InitialiseAppliesTheAccountAndDevicesAndKeepsItsListener) {
  RecordingEvents window;
  CDialerEndPoint ep;
  ep.listenerInterfaces = "127.0.0.1:0,,";
  CAccount account{"5550100", "SER", "127.0.0.1:9", "secret", 0};
  EXPECT_EQ(ep.Initialise(&window, account, 1, "speaker", "mic"), 1);
  EXPECT_EQ(ep.window.load(), &window);
  EXPECT_EQ(ep.GetLocalUserName(), "5550100");
  EXPECT_EQ(ep.GetGatekeeperPassword(), "");  // the flag is off: the stored password stays unused
  EXPECT_EQ(ep.GetSoundChannelPlayDevice(), "speaker");
  EXPECT_EQ(ep.GetSoundChannelRecordDevice(), "mic");
  const auto listener = ep.GetListenerAddress();
  ASSERT_TRUE(listener);

  account.m_nGkPassEnabled = 1;
  EXPECT_EQ(ep.Initialise(&window, account, 0, "", ""), 1);  // again: the same listener goes on
  EXPECT_EQ(ep.GetGatekeeperPassword(), "secret");
  EXPECT_EQ(ep.GetListenerAddress(), listener);

  ep.listenerInterfaces = "nowhere:1737";
  EXPECT_EQ(ep.Initialise(&window, account, 0, "", ""), 0);
  EXPECT_TRUE(window.Events().empty());
}

TEST(DialerEndPoint, TheCapabilityTableIsAlwaysTheSameThree) {
  using Sets = std::vector<std::vector<std::vector<std::string>>>;
  CDialerEndPoint ep;
  for (int codec : {0, 1, 0, 7}) {
    ep.BuildCapabilities(codec);
    EXPECT_EQ(ep.GetCapabilities().GetSize(), 3u);
    EXPECT_EQ(ep.GetCapabilities().Descriptors(), (Sets{{{"G.729A"}, {"G.723.1A"}, {"G.711-uLaw-64k"}}})) << codec;
  }
}

TEST(DialerEndPoint, CallOperationsWithoutACall) {
  RecordingEvents window;
  CDialerEndPoint ep;
  ep.listenerInterfaces = "127.0.0.1:0";
  ASSERT_EQ(ep.Initialise(&window, CAccount{"5550100", "SER", "", "", 0}, 0, "", ""), 1);
  // Not registered: a number for the gatekeeper ends at once, reported like any other call.
  std::string token;
  ASSERT_TRUE(ep.MakeCall("5550200@", token));
  ASSERT_FALSE(token.empty());
  EXPECT_TRUE(window.WaitFor(
      [&](const auto& events) { return events == std::vector<std::string>{"cleared " + token + " 0"}; }));
  EXPECT_EQ(ep.connected.load(), 0);
  // A token the endpoint does not know: nothing to clear, send to, measure or pause.
  EXPECT_FALSE(ep.HasConnection(token));
  EXPECT_FALSE(ep.ClearCall(token));
  EXPECT_FALSE(ep.SendUserInput(token, "1"));
  EXPECT_FALSE(ep.GetSignalLevels(token));
  EXPECT_FALSE(ep.TogglePause(token, true));
  // Shut down: no call at all, and no token for the window to wait on.
  ep.Shutdown();
  token = "stale";
  EXPECT_FALSE(ep.MakeCall("5550200@", token));
  EXPECT_TRUE(token.empty());
}

// The refusals' texts are DialerRegistrationTest's.
TEST(DialerEndPoint, OutcomesThatAreNoRefusalHaveNoMessage) {
  for (unsigned quiet : {0u, 1u, 2u, 3u, 8u}) EXPECT_EQ(RegistrationFailureMessage(quiet), "") << quiet;
}

}  // namespace
