#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/LocalHttpServer.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/TempDir.h"
#include "web/DownloadFile.h"

using namespace std::chrono_literals;

namespace {

// Runs the download on a worker while this thread serves, `during` once it has started; a
// cancelled one must end well before the minute its deadline would allow.
bool Download(
    const std::string& url, const std::string& path, std::chrono::milliseconds deadline = 5s,
    long long maxBytes = 1 << 20, std::atomic<bool>* cancel = nullptr, const std::function<void()>& during = [] {}) {
  std::atomic<bool> done{false};
  bool ok = false;
  std::thread worker([&] {
    ok = DownloadFile(url, path, deadline, maxBytes, cancel);
    done = true;
  });
  during();
  EXPECT_TRUE(ProcessEventsUntil([&] { return done.load(); }, cancel ? 10000 : 30000));
  worker.join();
  return ok;
}

}  // namespace

TEST(Download, FailuresLeaveTheOldFileAlone) {
  TempDir dir;
  const auto path = (dir / "link1.gif").string();
  WriteFileBytes(path, "previous");
  LocalHttpServer server;
  server.Serve("/big", 200, std::string(5000, 'x'));
  EXPECT_FALSE(Download(server.Url("/missing"), path));
  EXPECT_FALSE(Download(server.Url("/big"), path, 5s, 4000));
  EXPECT_FALSE(Download("http://127.0.0.1:1/nothing-listens", path));
  EXPECT_FALSE(Download("ftp://127.0.0.1/x", path));
  EXPECT_FALSE(Download("not a url", path));
  EXPECT_EQ(ReadFileBytes(path), "previous");
  EXPECT_EQ(server.Requests(), 2);
}

TEST(Download, AStalledTransferEndsAtItsDeadlineOrWhenCancelled) {
  for (bool cancelled : {false, true}) {
    SCOPED_TRACE(cancelled);
    TempDir dir;
    LocalHttpServer server;
    server.Stall("/banner/banner.gif");
    std::atomic<bool> cancel{false};
    const auto cancelOnceAsked = [&] {
      ProcessEventsUntil([&] { return server.Requests() == 1; }, 10000);
      cancel = cancelled;
    };
    EXPECT_FALSE(Download(server.Url("/banner/banner.gif"), (dir / "link1.gif").string(), cancelled ? 60s : 800ms,
                          1 << 20, cancelled ? &cancel : nullptr, cancelOnceAsked));
    EXPECT_FALSE(std::filesystem::exists(dir / "link1.gif"));
  }
}
