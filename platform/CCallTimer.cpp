#include "platform/CCallTimer.h"

#include <chrono>
#include <system_error>

#include "platform/System.h"

CCallTimer::CCallTimer(unsigned periodMs) : m_nPeriod(periodMs), m_tickSource(::GetTickCount) {}

CCallTimer::~CCallTimer() {
  StopTimer();
  std::unique_lock lock(m_mutex);
  std::vector<std::thread> threads = std::move(m_retired);
  if (m_thread.joinable()) threads.push_back(std::move(m_thread));
  lock.unlock();
  for (std::thread& t : threads)
    if (t.get_id() != std::this_thread::get_id())
      t.join();
    else
      t.detach();
}

void CCallTimer::SetOwner(Owner* owner) {
  std::lock_guard lock(m_mutex);
  m_pOwner = owner;
}

void CCallTimer::SetPeriod(unsigned periodMs) {
  std::lock_guard lock(m_mutex);
  m_nPeriod = periodMs;
}

unsigned CCallTimer::GetPeriod() const {
  std::lock_guard lock(m_mutex);
  return m_nPeriod;
}

bool CCallTimer::StartTimer() {
  std::unique_lock lock(m_mutex);
  m_nTimerId = 0;
  m_wake.notify_all();
  RetireThreadLocked(lock);
  const unsigned id = ++m_nLastId == 0 ? ++m_nLastId : m_nLastId;
  m_nTimerId = id;
  m_dwStartTick = m_tickSource();
  try {
    m_thread = std::thread(&CCallTimer::Run, this, id);
  } catch (const std::system_error&) {
    m_nTimerId = 0;
    return false;
  }
  return true;
}

void CCallTimer::StopTimer() {
  std::unique_lock lock(m_mutex);
  if (m_nTimerId == 0) return;
  m_nTimerId = 0;
  m_wake.notify_all();
  RetireThreadLocked(lock);
}

void CCallTimer::RetireThreadLocked(std::unique_lock<std::mutex>& lock) {
  if (!m_thread.joinable()) return;
  std::thread thread = std::move(m_thread);
  if (thread.get_id() == std::this_thread::get_id()) {
    // A tick cannot wait for itself: it ends when it returns, and is joined later.
    m_retired.push_back(std::move(thread));
    return;
  }
  lock.unlock();
  thread.join();
  lock.lock();
}

bool CCallTimer::IsRunning() const {
  std::lock_guard lock(m_mutex);
  return m_nTimerId != 0;
}

unsigned CCallTimer::GetTimerId() const {
  std::lock_guard lock(m_mutex);
  return m_nTimerId;
}

void CCallTimer::SetTickSource(TickSource source) {
  std::lock_guard lock(m_mutex);
  m_tickSource = source ? std::move(source) : TickSource(::GetTickCount);
}

uint32_t CCallTimer::GetTickCount() const {
  TickSource source;
  {
    std::lock_guard lock(m_mutex);
    source = m_tickSource;
  }
  return source();
}

uint32_t CCallTimer::GetStartTick() const {
  std::lock_guard lock(m_mutex);
  return m_dwStartTick;
}

void CCallTimer::Run(unsigned id) {
  using Clock = std::chrono::steady_clock;
  std::unique_lock lock(m_mutex);
  const std::chrono::milliseconds period(m_nPeriod == 0 ? 1 : m_nPeriod);
  Clock::time_point due = Clock::now() + period;
  const auto stopped = [this, id] { return m_nTimerId != id; };
  while (!stopped()) {
    if (m_wake.wait_until(lock, due, stopped)) break;
    // Periodic without drift; ticks missed on a busy machine are not made up.
    due += period;
    if (due < Clock::now()) due = Clock::now() + period;
    Owner* owner = m_pOwner;
    lock.unlock();
    try {
      if (owner) owner->OnCallTimer(id);
    } catch (...) {
      // A failed tick is skipped; the next one tries again.
    }
    lock.lock();
  }
}
