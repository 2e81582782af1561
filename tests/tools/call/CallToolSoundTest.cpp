// The sound devices vantro-call lists are the test daemon's (sinks "speaker" and "mic_feed", source
// "mic"). Device audio through a call is MediaSoundDevices.*' (the endpoint's channels the tool uses).
#include "tests/support/SoundTestSupport.h"
#include "tests/tools/call/ToolProcess.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(CallToolSound, ListsTheServersDevices) {
  REQUIRE_TEST_SERVER();
  TempDir dir;
  ToolProcess list("list", {"--json", "--list-devices"}, dir.path());
  ASSERT_EQ(list.Wait(20s), 0) << list.Transcript();
  std::vector<std::string> players, recorders;
  for (const auto& line : list.Events("device"))
    (JsonField(line, "kind") == "player" ? players : recorders).push_back(JsonField(line, "name"));
  EXPECT_EQ(players, PactlNames("sinks"));
  EXPECT_EQ(recorders, std::vector<std::string>{"mic"});  // no monitors
}
