// The desktop pieces under the window: message boxes, calls handed to the user-interface thread,
// turns of worker threads, and the opener's arguments.
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <QApplication>
#include <QThread>

#include <gtest/gtest.h>

#include "platform/CTurnOrder.h"
#include "platform/MessageBox.h"
#include "platform/ShellOpen.h"
#include "platform/UiThread.h"
#include "tests/support/FakePrograms.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/WaitUntil.h"

using namespace std::chrono_literals;

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

TEST(TurnOrder, ATurnGivenUpDoesNotHoldTheOthersAndCancelReleasesAll) {
  CTurnOrder turns;
  const uint64_t a = turns.Take(), b = turns.Take(), c = turns.Take();
  turns.Done(b);  // its worker never started
  std::atomic<bool> cWent{false};
  std::thread tc([&] {
    cWent = turns.Wait(c);
    turns.Done(c);
  });
  std::this_thread::sleep_for(30ms);
  EXPECT_FALSE(cWent);  // a has not had its turn yet
  ASSERT_TRUE(turns.Wait(a));
  turns.Done(a);
  tc.join();
  EXPECT_TRUE(cWent);

  const uint64_t d = turns.Take(), e = turns.Take();
  std::atomic<int> result{-1};
  std::thread te([&] { result = turns.Wait(e) ? 1 : 0; });
  turns.Cancel();
  te.join();
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(turns.Wait(d));
}

// The desktop entry's command with quotes and dropped field codes is HyperLinkTest's fallback.
TEST(ShellOpen, HandlerArgumentsPutTheAddressInPlaceOfThePlaceholderAndNoShellReadsIt) {
  using V = std::vector<std::string>;
  EXPECT_EQ(HandlerArguments("browser --flag", "http://a/"), (V{"browser", "--flag", "http://a/"}));
  EXPECT_EQ(HandlerArguments("browser %i %c --x=100%% %F", "u"), (V{"browser", "--x=100%", "u"}));
  EXPECT_EQ(HandlerArguments("\"/opt/web browser/run\" \"%U\"", "x y"), (V{"/opt/web browser/run", "x y"}));
  EXPECT_EQ(HandlerArguments("b %u", "http://a/;rm -rf ~"), (V{"b", "http://a/;rm -rf ~"}));
}
