// The sound layer against the private test daemon (sinks "speaker" and "mic_feed", source "mic").
// What is played is heard in RealCallWindow's sound test; volumes are VolumeSliders.*'.
#include <gtest/gtest.h>

#include <thread>

#include "runtime/PSoundChannel.h"
#include "tests/support/SoundTestSupport.h"

TEST(PSoundChannelServer, ChannelsHaveSmallBuffersAndMoveWholeFramesAsAsked) {
  REQUIRE_TEST_SERVER();
  PSoundChannel rec;
  ASSERT_TRUE(rec.SetBuffers(480, 3));
  EXPECT_FALSE(rec.SetBuffers(0, 2));
  ASSERT_TRUE(rec.Open("speaker.monitor", PSoundChannel::Recorder)) << rec.GetLastError();
  EXPECT_LE(rec.GetServerBufferBytes(), 960u);
  std::vector<int16_t> buf(1000, 0x5555);
  ASSERT_TRUE(rec.Read(buf.data(), 2 * 333));
  EXPECT_EQ(rec.GetLastReadCount(), 666u);
  EXPECT_EQ(buf[333], 0x5555);  // nothing past what was asked for
  ASSERT_TRUE(rec.Read(buf.data(), 2 * 1000));
  EXPECT_EQ(rec.GetLastReadCount(), 2000u);

  PSoundChannel ch;
  EXPECT_FALSE(ch.Open("no_such_sink", PSoundChannel::Player));
  ASSERT_TRUE(ch.Open("", PSoundChannel::Player));  // the default sink
  // 40 ms at 16 000 bytes/s, give or take the server's rounding; its default would be seconds.
  EXPECT_LE(ch.GetServerBufferBytes(), 1600u);
  int16_t s[2] = {};
  EXPECT_FALSE(ch.Write(s, 3));  // not whole frames
  EXPECT_TRUE(ch.Write(s, sizeof s));
}

TEST(PSoundChannelServer, DeviceThatVanishesEndsOrMovesTheStreamWithoutHanging) {
  REQUIRE_TEST_SERVER();
  ScopedPulseModule sink("module-null-sink sink_name=vanishing");
  ASSERT_TRUE(sink.Loaded());
  PSoundChannel player("vanishing", PSoundChannel::Player);
  PSoundChannel rec("vanishing.monitor", PSoundChannel::Recorder);
  ASSERT_TRUE(player.IsOpen() && rec.IsOpen()) << player.GetLastError() << rec.GetLastError();
  sink.Unload();
  // The server may move the streams to other devices, or end them: either way every call returns,
  // and an ended stream says so.
  std::vector<int16_t> buf(800);
  for (int i = 0; i < 5 && player.Write(buf.data(), buf.size() * 2); ++i) {
  }
  for (int i = 0; i < 5 && rec.Read(buf.data(), buf.size() * 2); ++i) {
  }
  for (PSoundChannel* ch : {&player, &rec})
    EXPECT_TRUE(ch->GetLastError().empty() || ch->GetLastError() == "the device went away") << ch->GetLastError();
  EXPECT_FALSE(player.Open("vanishing", PSoundChannel::Player));
  EXPECT_FALSE(rec.Open("vanishing.monitor", PSoundChannel::Recorder));
}

TEST(PSoundChannelServer, AbortFromAnotherThreadEndsABlockingRead) {
  REQUIRE_TEST_SERVER();
  PSoundChannel rec("speaker.monitor", PSoundChannel::Recorder);
  ASSERT_TRUE(rec.IsOpen());
  std::thread aborter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    rec.Abort();
  });
  // Ten minutes of sound: only the abort can end this read early.
  std::vector<int16_t> buf(8000 * 600);
  EXPECT_FALSE(rec.Read(buf.data(), buf.size() * 2));
  EXPECT_EQ(rec.GetLastError(), "aborted");
  aborter.join();
  EXPECT_FALSE(rec.Open("speaker.monitor", PSoundChannel::Recorder));  // stays aborted
}
