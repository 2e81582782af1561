// The sound layer without a sound server, and with one that does not answer: empty lists, failed
// opens and volumes, and never a hang.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "runtime/PSoundChannel.h"
#include "runtime/PSoundMixer.h"
#include "runtime/PSoundPlayer.h"
#include "tests/support/SoundTestSupport.h"

TEST(PSoundChannelNoServer, EverythingFailsQuietly) {
  NoServer none;
  EXPECT_TRUE(PSoundChannel::GetDeviceNames(PSoundChannel::Player).empty());
  EXPECT_TRUE(PSoundChannel::GetDeviceNames(PSoundChannel::Recorder).empty());

  PSoundChannel ch;
  EXPECT_FALSE(ch.Open("", PSoundChannel::Player));
  EXPECT_EQ(ch.GetLastError(), "no sound server");
  EXPECT_FALSE(ch.PlaySound(PSound::Tones({440}, 0.5, 10)));
  EXPECT_FALSE(ch.WaitForPlayCompletion());
  EXPECT_FALSE(ch.Open("speaker", PSoundChannel::Recorder));

  std::vector<uint32_t> v;
  EXPECT_FALSE(PSoundMixer::GetVolume(PSoundChannel::Player, "", v));
  EXPECT_FALSE(PSoundMixer::SetVolume(PSoundChannel::Recorder, "mic", 100));

  PSoundPlayer player;
  EXPECT_TRUE(player.Play(PSound::Tones({440}, 0.5, 10)));
  EXPECT_TRUE(player.WaitIdle(std::chrono::seconds(20)));
  EXPECT_EQ(player.GetPlayedCount(), 0u);
}

TEST(PSoundChannelNoServer, ServerThatDoesNotAnswerIsGivenUpAndThenLeftAlone) {
  SilentServer silent;
  // The first attempt waits for the (shortened) timeout and gives up.
  EXPECT_TRUE(PSoundChannel::GetDeviceNames(PSoundChannel::Player).empty());
  EXPECT_EQ(silent.Connections(), 1);

  // For a while after, nothing more is sent its way: no call waits on it again.
  PSoundChannel ch;
  EXPECT_FALSE(ch.Open("", PSoundChannel::Player));
  std::vector<uint32_t> v;
  EXPECT_FALSE(PSoundMixer::GetVolume(PSoundChannel::Recorder, "", v));
  EXPECT_TRUE(PSoundChannel::GetDeviceNames(PSoundChannel::Recorder).empty());
  EXPECT_EQ(silent.Connections(), 1);
}

namespace {

void NeedsTestServer() { REQUIRE_TEST_SERVER(); }

}  // namespace

// When the test command has started a sound server, a test that finds none fails instead of
// skipping: a daemon that started and then does not answer must not pass unnoticed.
TEST(SoundTestSupport, NoServerFailsWhereTheTestCommandStartedOne) {
  NoServer none;
  ScopedEnv required("VANTRO_SOUND_REQUIRED", "1");
  EXPECT_FATAL_FAILURE(NeedsTestServer(), "VANTRO_SOUND_REQUIRED");
}
