#include <atomic>
#include <chrono>
#include <thread>

#include <QApplication>
#include <QThread>

#include <gtest/gtest.h>

#include "platform/DialogUnits.h"
#include "platform/Guarded.h"
#include "platform/MessageBox.h"
#include "platform/UiThread.h"
#include "platform/WaitCursor.h"
#include "platform/WorkerThreads.h"
#include "tests/support/QtTestMain.h"

TEST(MessageBoxes, GoThroughTheHookOnTheUserInterfaceThread) {
  struct Seen {
    std::string text, caption;
    unsigned type = 0;
    bool onUiThread = false;
  };
  std::vector<Seen> seen;
  SetMessageBoxHook([&](QWidget*, const std::string& text, const std::string& caption, unsigned type) {
    seen.push_back({text, caption, type, QThread::currentThread() == qApp->thread()});
    return IDCANCEL;
  });
  EXPECT_EQ(AfxMessageBox("on the ui thread", MB_OKCANCEL), IDCANCEL);

  // From a worker the box is handed over and the worker goes on at once.
  int workerResult = 0;
  std::thread([&] { workerResult = AfxMessageBox("from a worker", MB_ICONEXCLAMATION, "Cap"); }).join();
  EXPECT_EQ(workerResult, IDOK);
  ASSERT_TRUE(ProcessEventsUntil([&] { return seen.size() == 2; }));
  SetMessageBoxHook(nullptr);

  EXPECT_EQ(seen[0].text, "on the ui thread");
  EXPECT_EQ(seen[0].type, unsigned(MB_OKCANCEL));
  EXPECT_TRUE(seen[0].onUiThread);
  EXPECT_EQ(seen[1].text, "from a worker");
  EXPECT_EQ(seen[1].caption, "Cap");
  EXPECT_EQ(seen[1].type, unsigned(MB_ICONEXCLAMATION));
  EXPECT_TRUE(seen[1].onUiThread);
}

TEST(WorkerThreads, JoinAllWaitsForEveryThreadIncludingOnesStartedByWorkers) {
  std::atomic<int> finished{0};
  {
    CWorkerThreads threads;
    for (int i = 0; i < 4; ++i)
      threads.Start([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ++finished;
      });
    threads.Start([&] {
      threads.Start([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        ++finished;
      });
      ++finished;
    });
  }  // destructor joins
  EXPECT_EQ(finished.load(), 6);
}

TEST(WorkerThreads, FinishedThreadsAreNotCountedAsRunning) {
  CWorkerThreads threads;
  std::atomic<bool> release{false};
  threads.Start([] {});
  threads.Start([&] {
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(threads.Running(), 1);
  release = true;
  threads.JoinAll();
  EXPECT_EQ(threads.Running(), 0);
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

TEST(DialogUnits, RoundToTheNearestPixelOfTheTemplateFont) {
  EXPECT_EQ(DluToPixels(0, 0, 203, 273), QRect(0, 0, 305, 444));
  EXPECT_EQ(DluToPixels(169, 8, 11, 11), QRect(254, 13, 16, 18));
  EXPECT_EQ(DluToPixelsX(1), 2);  // 1.5 rounds up
  EXPECT_EQ(DluToPixelsY(1), 2);  // 1.625
  EXPECT_EQ(DluToPixelsY(3), 5);  // 4.875
  EXPECT_EQ(DluToPixels(0, 0, 183, 146, kSansSerif10), QRect(0, 0, 320, 292));
}

TEST(Guarded, ReadersNeverSeeAHalfWrittenValue) {
  Guarded<std::string> value(std::string(64, 'a'));
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int i = 0; !stop; ++i) value = std::string(64 + i % 64, "ab"[i % 2]);
  });
  for (int i = 0; i < 20000; ++i) {
    const std::string s = value.Get();
    ASSERT_TRUE(s.find_first_not_of(s[0]) == std::string::npos);
  }
  stop = true;
  writer.join();
}

// Calls handed over from a worker while the user-interface thread is busy in its loop: they run
// there in the order posted, with the values the worker captured; a call whose context is gone
// is dropped, and freed on the user-interface thread.
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
