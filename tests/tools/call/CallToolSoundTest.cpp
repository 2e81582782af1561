// vantro-call on sound devices of the test daemon (sinks "speaker" and "mic_feed", source "mic"
// recording mic_feed): the devices it lists are the server's, and a tone played into the caller's
// microphone comes out of the answerer's loudspeaker.
#include "tests/support/SoundTestSupport.h"
#include "tests/tools/call/ToolProcess.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(CallToolSound, ListsTheServersDevicesAndCarriesMicrophoneToLoudspeaker) {
  REQUIRE_TEST_SERVER();
  TempDir dir;
  ToolProcess list("list", {"--json", "--list-devices"}, dir.path());
  ASSERT_EQ(list.Wait(20s), 0) << list.Transcript();
  std::vector<std::string> players, recorders;
  for (const auto& line : list.Events("device"))
    (JsonField(line, "kind") == "player" ? players : recorders).push_back(JsonField(line, "name"));
  EXPECT_EQ(players, PactlNames("sinks"));
  EXPECT_EQ(recorders, std::vector<std::string>{"mic"});  // no monitors

  ToolProcess answer("answer",
                     {"--json", "answer", "--listen", "127.0.0.1:0", "--max-calls", "1", "--codec", "g711u",
                      "--play-device", "speaker"},
                     dir.path());
  const unsigned port = answer.ListeningPort();
  ASSERT_NE(port, 0u) << answer.Transcript();
  // The caller's microphone hears a 1 kHz tone for as long as the call lasts.
  std::atomic<bool> stop{false};
  std::thread feed([&] {
    PSoundChannel player("mic_feed", PSoundChannel::Player);
    while (!stop && player.PlaySound(PSound::Tones({1000}, 0.3, 200, 8000, 0), false)) {
    }
  });
  BackgroundRecorder loudspeaker("speaker.monitor");
  ASSERT_TRUE(loudspeaker.Running());
  ToolProcess call("call",
                   {"--json", "call", "line@127.0.0.1:" + std::to_string(port), "--codec", "g711u", "--record-device",
                    "mic", "--duration", "3"},
                   dir.path());
  const auto callExit = call.Wait(30s);
  const std::vector<std::int16_t> heard = loudspeaker.Stop();
  stop = true;
  feed.join();
  ASSERT_EQ(callExit, 0) << call.Transcript();
  ASSERT_EQ(answer.Wait(20s), 0) << answer.Transcript();

  const TonePeak peak = FindTonePeak(heard, 1000, 500);
  EXPECT_GT(peak.amplitude, 0.1) << "the tone did not come out of the answerer's loudspeaker";
  EXPECT_LT(ToneAmplitude(SampleWindow(heard, peak.position, 4000), 3000), 0.02);
}
