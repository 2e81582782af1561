#include <gtest/gtest.h>

#include "h323/CDialerEndPoint.h"
#include "tests/support/RecordingEvents.h"

namespace {

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

}  // namespace
