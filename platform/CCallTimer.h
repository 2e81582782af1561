#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A periodic timer on a thread of its own, in place of the system's multimedia timer: while it
// runs, it calls its owner's OnCallTimer with its id once every period. A tick never waits for
// anything but the owner's callback, so StopTimer (which waits for a tick under way) returns at
// once as long as the callback does not wait either.
//
// The timer also carries the clock a call is measured by: the system's tick count, or a source a
// test puts in its place to advance time at will.
class CCallTimer {
 public:
  // Called on the timer's thread.
  class Owner {
   public:
    virtual ~Owner() = default;
    virtual void OnCallTimer(unsigned timerId) = 0;
  };
  using TickSource = std::function<uint32_t()>;

  explicit CCallTimer(unsigned periodMs = 10);
  ~CCallTimer();

  CCallTimer(const CCallTimer&) = delete;
  CCallTimer& operator=(const CCallTimer&) = delete;

  void SetOwner(Owner* owner);
  // The period of the next start.
  void SetPeriod(unsigned periodMs);
  unsigned GetPeriod() const;

  // Starts the timer (again, when it runs) with a new id. False when no thread could be started.
  bool StartTimer();
  // Stops the timer; a tick under way ends first. No effect when the timer does not run. From
  // within OnCallTimer it only stops further ticks.
  void StopTimer();
  bool IsRunning() const;
  // The id of the running timer, 0 when none runs.
  unsigned GetTimerId() const;

  // Milliseconds, wrapping at 32 bits. A source given here stands for the system's tick count;
  // give it before the timer first starts.
  void SetTickSource(TickSource source);
  uint32_t GetTickCount() const;
  // The tick count when the timer last started.
  uint32_t GetStartTick() const;

 private:
  void Run(unsigned id);
  // Joins the timer's thread, or keeps it for later when this is that thread.
  void RetireThreadLocked(std::unique_lock<std::mutex>& lock);

  mutable std::mutex m_mutex;
  std::condition_variable m_wake;
  unsigned m_nPeriod;
  Owner* m_pOwner = nullptr;
  TickSource m_tickSource;
  unsigned m_nTimerId = 0;  // 0: not running; a tick thread runs while the id is its own
  unsigned m_nLastId = 0;
  uint32_t m_dwStartTick = 0;
  std::thread m_thread;
  std::vector<std::thread> m_retired;  // threads that stopped or restarted their own timer
};
