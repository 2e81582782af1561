// The call timer: its ticks, stopping (also from a tick), restarting, and its clock; the order of
// turns of worker threads.
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/CCallTimer.h"
#include "platform/CTurnOrder.h"
#include "tests/support/WaitUntil.h"

using namespace std::chrono_literals;

namespace {

// Counts the ticks by timer id and can act on the timer from within a tick.
class Ticks : public CCallTimer::Owner {
 public:
  void OnCallTimer(unsigned timerId) override {
    {
      std::lock_guard lock(m_mutex);
      m_ids.push_back(timerId);
    }
    if (m_onTick) m_onTick();
  }
  std::vector<unsigned> Ids() {
    std::lock_guard lock(m_mutex);
    return m_ids;
  }
  bool WaitFor(size_t count) {
    return vantro::test::WaitUntil([&] { return Ids().size() >= count; });
  }
  std::function<void()> m_onTick;

 private:
  std::mutex m_mutex;
  std::vector<unsigned> m_ids;
};

}  // namespace

TEST(CallTimer, TicksWithItsIdUntilStoppedAndRestartsWithANewOne) {
  Ticks owner;
  CCallTimer timer;
  timer.SetOwner(&owner);
  timer.SetPeriod(20);
  EXPECT_FALSE(timer.IsRunning());
  timer.StopTimer();  // stopping a timer that does not run does nothing

  ASSERT_TRUE(timer.StartTimer());
  const unsigned first = timer.GetTimerId();
  EXPECT_NE(first, 0u);
  ASSERT_TRUE(owner.WaitFor(3));
  timer.StopTimer();
  EXPECT_FALSE(timer.IsRunning());
  EXPECT_EQ(timer.GetTimerId(), 0u);
  // Stopped means stopped: no tick after StopTimer has returned.
  const size_t seen = owner.Ids().size();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(owner.Ids().size(), seen);

  ASSERT_TRUE(timer.StartTimer());
  ASSERT_TRUE(timer.StartTimer());  // a start while running starts anew
  const unsigned third = timer.GetTimerId();
  EXPECT_NE(third, first);
  ASSERT_TRUE(owner.WaitFor(seen + 2));
  timer.StopTimer();
  const std::vector<unsigned> ids = owner.Ids();
  for (size_t i = 0; i < ids.size(); ++i)
    EXPECT_TRUE(i < seen ? ids[i] == first : ids[i] == third || ids[i] == third - 1) << i;
}

TEST(CallTimer, ATickMayStopItsOwnTimer) {
  Ticks owner;
  CCallTimer timer;
  owner.m_onTick = [&] { timer.StopTimer(); };
  timer.SetOwner(&owner);
  timer.SetPeriod(10);
  ASSERT_TRUE(timer.StartTimer());
  ASSERT_TRUE(owner.WaitFor(1));
  std::this_thread::sleep_for(80ms);
  EXPECT_EQ(owner.Ids().size(), 1u);
  EXPECT_FALSE(timer.IsRunning());
  owner.m_onTick = nullptr;
  ASSERT_TRUE(timer.StartTimer());  // and the timer starts again afterwards
  EXPECT_TRUE(owner.WaitFor(2));
}

TEST(CallTimer, DestroyingARunningTimerStopsIt) {
  Ticks owner;
  {
    CCallTimer timer(5);
    timer.SetOwner(&owner);
    timer.StartTimer();
    owner.WaitFor(1);
  }
  const size_t seen = owner.Ids().size();
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(owner.Ids().size(), seen);
}

TEST(CallTimer, TheClockIsTheTickSourceGiven) {
  CCallTimer timer;
  std::atomic<uint32_t> now{0xFFFFFF00u};  // about to wrap, like a long-running system
  timer.SetTickSource([&] { return now.load(); });
  Ticks owner;
  timer.SetOwner(&owner);
  timer.StartTimer();
  EXPECT_EQ(timer.GetStartTick(), 0xFFFFFF00u);
  now += 125000;
  EXPECT_EQ(timer.GetTickCount() - timer.GetStartTick(), 125000u);
  timer.StopTimer();
  timer.SetTickSource(nullptr);  // the system's tick count again
  const uint32_t a = timer.GetTickCount();
  std::this_thread::sleep_for(20ms);
  EXPECT_GE(timer.GetTickCount() - a, 15u);
}

TEST(TurnOrder, WorkersGoInTheOrderTheyWereStarted) {
  CTurnOrder turns;
  std::mutex mutex;
  std::string order;
  std::vector<std::thread> workers;
  for (char c = 'a'; c <= 'h'; ++c) {
    const uint64_t turn = turns.Take();
    workers.emplace_back([&, c, turn] {
      // The later ones get going first.
      std::this_thread::sleep_for(std::chrono::milliseconds(5 * ('h' - c)));
      if (turns.Wait(turn)) {
        std::lock_guard lock(mutex);
        order += c;
      }
      turns.Done(turn);
    });
  }
  for (std::thread& t : workers) t.join();
  EXPECT_EQ(order, "abcdefgh");
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
