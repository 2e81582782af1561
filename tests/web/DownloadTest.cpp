#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/LocalHttpServer.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/TempDir.h"
#include "web/DownloadFile.h"

using namespace std::chrono_literals;

namespace {

// Runs the download on a worker while this thread serves.
bool Download(const std::string& url, const std::string& path, std::chrono::milliseconds deadline = 5s,
              long long maxBytes = 1 << 20) {
  std::atomic<bool> done{false};
  bool ok = false;
  std::thread worker([&] {
    ok = DownloadFile(url, path, deadline, maxBytes);
    done = true;
  });
  ProcessEventsUntil([&] { return done.load(); }, 60000);
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

TEST(Download, AnyBodyWithSuccessIsWrittenAsItCame) {
  // Whether it is a picture is for whoever loads it.
  TempDir dir;
  LocalHttpServer server;
  server.Serve("/banner/banner.gif", 200, "<html>not a picture</html>");
  EXPECT_TRUE(Download(server.Url("/banner/banner.gif"), (dir / "link1.gif").string()));
  EXPECT_EQ(ReadFileBytes(dir / "link1.gif"), "<html>not a picture</html>");
}

TEST(Download, AServerThatStallsIsGivenUpAtTheDeadline) {
  TempDir dir;
  LocalHttpServer server;
  server.Stall("/banner/banner.gif");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(Download(server.Url("/banner/banner.gif"), (dir / "link1.gif").string(), 800ms));
  // It ended (the generous bound only guards against waiting forever).
  EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
  EXPECT_FALSE(std::filesystem::exists(dir / "link1.gif"));
}

TEST(Download, CancellingEndsAStalledTransferAtOnce) {
  TempDir dir;
  LocalHttpServer server;
  server.Stall("/banner/banner.gif");
  std::atomic<bool> cancel{false};
  std::atomic<bool> done{false};
  bool ok = true;
  std::thread worker([&] {
    ok = DownloadFile(server.Url("/banner/banner.gif"), (dir / "link1.gif").string(), 60s, 1 << 20, &cancel);
    done = true;
  });
  ProcessEventsUntil([&] { return server.Requests() == 1; }, 10000);
  cancel = true;
  // Well before the minute the deadline would allow.
  EXPECT_TRUE(ProcessEventsUntil([&] { return done.load(); }, 10000));
  worker.join();
  EXPECT_FALSE(ok);
}
