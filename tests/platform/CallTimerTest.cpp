// The call timer's ticks and stops; turns of worker threads given up or cancelled. The window's
// tests drive the timer's clock and the turns' order.
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/CCallTimer.h"
#include "platform/CTurnOrder.h"
#include "tests/support/WaitUntil.h"

using namespace std::chrono_literals;

namespace {

// Notes the ticks by timer id.
class Ticks : public CCallTimer::Owner {
 public:
  void OnCallTimer(unsigned timerId) override {
    std::lock_guard lock(m_mutex);
    m_ids.push_back(timerId);
  }
  std::vector<unsigned> Ids() {
    std::lock_guard lock(m_mutex);
    return m_ids;
  }
  bool WaitFor(size_t count) {
    return vantro::test::WaitUntil([&] { return Ids().size() >= count; });
  }
  // No tick comes after this is called.
  void ExpectNoMore() {
    const size_t seen = Ids().size();
    std::this_thread::sleep_for(80ms);
    EXPECT_EQ(Ids().size(), seen);
  }

 private:
  std::mutex m_mutex;
  std::vector<unsigned> m_ids;
};

}  // namespace

TEST(CallTimer, TicksWithItsIdUntilStoppedOrDestroyedAndRestartsWithANewOne) {
  Ticks owner;
  {
    CCallTimer timer(10);
    timer.SetOwner(&owner);
    timer.StopTimer();  // not running: nothing
    ASSERT_TRUE(timer.StartTimer());
    const unsigned first = timer.GetTimerId();
    ASSERT_TRUE(owner.WaitFor(2));
    ASSERT_TRUE(timer.StartTimer());  // a start while running starts anew
    const unsigned second = timer.GetTimerId();
    EXPECT_NE(second, first);
    const size_t before = owner.Ids().size();
    ASSERT_TRUE(owner.WaitFor(before + 2));
    EXPECT_EQ(owner.Ids().back(), second);
    timer.StopTimer();
    EXPECT_FALSE(timer.IsRunning());
    EXPECT_EQ(timer.GetTimerId(), 0u);
    owner.ExpectNoMore();
    ASSERT_TRUE(timer.StartTimer());
    ASSERT_TRUE(owner.WaitFor(owner.Ids().size() + 1));
  }
  owner.ExpectNoMore();
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
