// The sound layer without a sound server, and with one that does not answer: empty lists, failed
// opens, and never a hang.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>

#include "runtime/PSoundChannel.h"
#include "runtime/PSoundMixer.h"
#include "tests/support/SoundTestSupport.h"

namespace {

// PULSE_SERVER pointed at a socket that takes connections and never says a word, with the server
// timeout shortened. Counts the connections it took.
class SilentServer {
 public:
  SilentServer() : m_oldTimeout(PSoundChannel::GetServerTimeout()) {
    sockaddr_un addr{.sun_family = AF_UNIX, .sun_path = {}};
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", (m_dir / "silent").c_str());
    if (bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(m_listen, 16) != 0) std::abort();
    m_thread = std::thread([this] {
      for (pollfd p{m_listen, POLLIN, 0}; !m_stop; p.revents = 0)
        if (int fd = poll(&p, 1, 20) > 0 ? accept(m_listen, nullptr, nullptr) : -1; fd >= 0) m_held.push_back(fd);
    });
    m_env.emplace("PULSE_SERVER", "unix:" + (m_dir / "silent").string());
    PSoundChannel::SetServerTimeout(std::chrono::milliseconds(300));
  }
  ~SilentServer() {
    PSoundChannel::SetServerTimeout(m_oldTimeout);
    m_env.reset();
    Stop();
    for (int fd : m_held) close(fd);
    close(m_listen);
  }
  // Stops taking connections once none is waiting in the queue; the connections it took (held open,
  // never answered).
  size_t Connections() {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (int i = 0; i < 50 && poll(std::array{pollfd{m_listen, POLLIN, 0}}.data(), 1, 0) > 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Stop();
    return m_held.size();
  }

 private:
  void Stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
  }

  TempDir m_dir;
  int m_listen = socket(AF_UNIX, SOCK_STREAM, 0);
  std::atomic<bool> m_stop{false};
  std::vector<int> m_held;
  std::thread m_thread;
  std::optional<ScopedEnv> m_env;
  std::chrono::milliseconds m_oldTimeout;
};

void NeedsTestServer() { REQUIRE_TEST_SERVER(); }

}  // namespace

// Volumes and the player without a server are Mixer.NoServerHasNoVolume's and Sounds.NoServer*'s.
TEST(PSoundChannelNoServer, ListsAreEmptyAndOpensFail) {
  NoServer none;
  EXPECT_TRUE(PSoundChannel::GetDeviceNames(PSoundChannel::Player).empty());
  EXPECT_TRUE(PSoundChannel::GetDeviceNames(PSoundChannel::Recorder).empty());
  PSoundChannel ch;
  EXPECT_FALSE(ch.Open("", PSoundChannel::Player));
  EXPECT_EQ(ch.GetLastError(), "no sound server");
  EXPECT_FALSE(ch.Open("speaker", PSoundChannel::Recorder));
}

TEST(PSoundChannelNoServer, ServerThatDoesNotAnswerIsGivenUpAndThenLeftAlone) {
  SilentServer silent;
  // The first attempt waits for the (shortened) timeout and gives up; for a while after, nothing
  // more is sent its way, so no call waits on it again.
  EXPECT_TRUE(PSoundChannel::GetDeviceNames(PSoundChannel::Player).empty());
  PSoundChannel ch;
  EXPECT_FALSE(ch.Open("", PSoundChannel::Player));
  std::vector<uint32_t> v;
  EXPECT_FALSE(PSoundMixer::GetVolume(PSoundChannel::Recorder, "", v));
  EXPECT_TRUE(PSoundChannel::GetDeviceNames(PSoundChannel::Recorder).empty());
  EXPECT_EQ(silent.Connections(), 1u);
}

// When the test command has started a sound server, a test that finds none fails instead of
// skipping: a daemon that started and then does not answer must not pass unnoticed.
TEST(SoundTestSupport, NoServerFailsWhereTheTestCommandStartedOne) {
  NoServer none;
  ScopedEnv required("VANTRO_SOUND_REQUIRED", "1");
  EXPECT_FATAL_FAILURE(NeedsTestServer(), "VANTRO_SOUND_REQUIRED");
}
