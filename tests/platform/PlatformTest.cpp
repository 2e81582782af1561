#include <atomic>
#include <chrono>
#include <thread>

#include <QApplication>
#include <QThread>

#include <gtest/gtest.h>

#include "platform/MessageBox.h"
#include "platform/UiThread.h"
#include "platform/WaitCursor.h"
#include "platform/WorkerThreads.h"
#include "tests/support/QtTestMain.h"

TEST(MessageBoxes, GoThroughTheHookOnTheUserInterfaceThreadAndAWorkerGoesOnAtOnce) {
  std::vector<std::string> seen;  // text|caption|type|thread
  SetMessageBoxHook([&](QWidget*, const std::string& text, const std::string& caption, unsigned type) {
    const bool ui = QThread::currentThread() == qApp->thread();
    seen.push_back(text + "|" + caption + "|" + std::to_string(type) + (ui ? "|ui" : "|worker"));
    return IDCANCEL;
  });
  EXPECT_EQ(AfxMessageBox("on the ui thread", MB_OKCANCEL), IDCANCEL);
  int workerResult = 0;
  std::thread([&] { workerResult = AfxMessageBox("from a worker", MB_ICONEXCLAMATION, "Cap"); }).join();
  EXPECT_EQ(workerResult, IDOK);
  ASSERT_TRUE(ProcessEventsUntil([&] { return seen.size() == 2; }));
  SetMessageBoxHook(nullptr);
  EXPECT_EQ(seen, (std::vector<std::string>{"on the ui thread||" + std::to_string(MB_OKCANCEL) + "|ui",
                                            "from a worker|Cap|" + std::to_string(MB_ICONEXCLAMATION) + "|ui"}));
}

TEST(WorkerThreads, JoinAllWaitsForEveryThreadIncludingOnesStartedByWorkersAndCountsOnlyTheRunning) {
  std::atomic<int> finished{0};
  std::atomic<bool> release{false};
  {
    CWorkerThreads threads;
    threads.Start([&] { ++finished; });
    threads.Start([&] {
      while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      threads.Start([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        ++finished;
      });
      ++finished;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(threads.Running(), 1);
    release = true;
  }  // the destructor joins
  EXPECT_EQ(finished.load(), 3);
}

TEST(WaitCursor, NestsAndNeverGoesBelowZero) {
  EXPECT_EQ(WaitCursorDepth(), 0);
  {
    CWaitCursor a;
    CWaitCursor b;
    EXPECT_EQ(WaitCursorDepth(), 2);
    ProcessEventsFor(5);
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
  }
  EndWaitCursor();
  EXPECT_EQ(WaitCursorDepth(), 0);
  std::thread([] { CWaitCursor fromWorker; }).join();
  ProcessEventsFor(20);
  EXPECT_EQ(WaitCursorDepth(), 0);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// A worker's calls run on the user-interface thread in the order posted with the values captured;
// a call whose context is gone is dropped.
TEST(PostToUi, RunsAWorkersCallsInOrderWithTheirValuesAndDropsThoseOfADestroyedContext) {
  QObject context;
  std::vector<std::string> ran;
  bool allOnUi = true;
  std::atomic<bool> posted{false};
  std::thread worker([&] {
    for (int i = 0; i < 300; ++i) {
      const std::string word(40 + i % 7, char('a' + i % 26));  // on the heap, written by the worker
      PostToUi(&context, [&, word] {
        ran.push_back(word);
        allOnUi = allOnUi && IsUiThread();
      });
    }
    posted = true;
  });
  ASSERT_TRUE(ProcessEventsUntil([&] { return posted && ran.size() == 300; }));
  worker.join();
  for (int i = 0; i < 300; ++i) ASSERT_EQ(ran[i], std::string(40 + i % 7, char('a' + i % 26))) << i;
  EXPECT_TRUE(allOnUi);

  auto gone = std::make_unique<QObject>();
  auto kept = std::make_shared<int>(0);
  std::thread([&, kept] { PostToUi(gone.get(), [&, kept] { ran.emplace_back("dropped"); }); }).join();
  EXPECT_EQ(kept.use_count(), 2);  // held by the posted call
  gone.reset();
  EXPECT_EQ(kept.use_count(), 1);
  ProcessEventsFor(50);
  EXPECT_EQ(ran.size(), 300u);
}
