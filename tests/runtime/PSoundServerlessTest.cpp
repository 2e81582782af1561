// The sound layer with a sound server that does not answer: never a hang.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "runtime/PSoundChannel.h"
#include "runtime/PSoundMixer.h"
#include "tests/support/SoundTestSupport.h"

namespace {

// PULSE_SERVER pointed at a socket whose connections are never answered, with the server timeout
// shortened.
class SilentServer {
 public:
  SilentServer() : m_oldTimeout(PSoundChannel::GetServerTimeout()) {
    sockaddr_un addr{AF_UNIX, {}};
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", (m_dir / "silent").c_str());
    if (bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(m_listen, 16) != 0) std::abort();
    m_env.emplace("PULSE_SERVER", "unix:" + (m_dir / "silent").string());
    PSoundChannel::SetServerTimeout(std::chrono::milliseconds(300));
  }
  ~SilentServer() {
    PSoundChannel::SetServerTimeout(m_oldTimeout);
    close(m_listen);
  }
  // The connections made to it so far (they wait in its queue).
  int Connections() const {
    int taken = 0;
    for (int fd; (fd = accept4(m_listen, nullptr, nullptr, SOCK_NONBLOCK)) >= 0; ++taken) close(fd);
    return taken;
  }

 private:
  TempDir m_dir;
  int m_listen = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
  std::optional<ScopedEnv> m_env;
  std::chrono::milliseconds m_oldTimeout;
};

void NeedsTestServer() { REQUIRE_TEST_SERVER(); }

}  // namespace

TEST(PSoundChannelNoServer, ServerThatDoesNotAnswerIsGivenUpAndThenLeftAlone) {
  SilentServer silent;
  // The first attempt waits for the (shortened) timeout and gives up; for a while after, nothing
  // more is sent its way, so no call waits on it again.
  EXPECT_TRUE(PSoundChannel::GetDeviceNames(PSoundChannel::Player).empty());
  EXPECT_EQ(silent.Connections(), 1);
  PSoundChannel ch;
  EXPECT_FALSE(ch.Open("", PSoundChannel::Player));
  std::vector<uint32_t> v;
  EXPECT_FALSE(PSoundMixer::GetVolume(PSoundChannel::Recorder, "", v));
  EXPECT_TRUE(PSoundChannel::GetDeviceNames(PSoundChannel::Recorder).empty());
  EXPECT_EQ(silent.Connections(), 0);
}

// When the test command has started a sound server, a test that finds none fails instead of
// skipping: a daemon that started and then does not answer must not pass unnoticed.
TEST(SoundTestSupport, NoServerFailsWhereTheTestCommandStartedOne) {
  NoServer none;
  ScopedEnv required("VANTRO_SOUND_REQUIRED", "1");
  EXPECT_FATAL_FAILURE(NeedsTestServer(), "VANTRO_SOUND_REQUIRED");
}
