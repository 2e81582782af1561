#include "runtime/PulseConnection.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <map>

namespace pulse {

namespace {

std::atomic<long long> g_timeoutMs{2000};

// Servers that recently let a request run into its deadline, by the PULSE_SERVER value in force at
// the time: the moment until which they are not tried again, and how long that hold-off was. Each
// time a server is found stuck again the hold-off doubles, so a server that stays stuck costs a
// timeout ever more rarely; an answer from it forgets the record.
constexpr std::chrono::milliseconds kFirstHoldOff{10000};
constexpr std::chrono::milliseconds kLongestHoldOff{300000};
constexpr std::chrono::milliseconds kStallTimeout{5000};
struct Stuck {
  Clock::time_point until;
  std::chrono::milliseconds holdOff{0};
};
std::mutex g_stuckMutex;
std::map<std::string, Stuck> g_stuck;

std::string ServerKey() {
  const char* s = std::getenv("PULSE_SERVER");
  return s ? s : "";
}

}  // namespace

std::chrono::milliseconds ServerTimeout() { return std::chrono::milliseconds(g_timeoutMs.load()); }

void SetServerTimeout(std::chrono::milliseconds timeout) {
  g_timeoutMs.store(timeout.count() > 0 ? timeout.count() : 1);
}

Connection::~Connection() { Release(); }

bool Connection::IsReady() const { return m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY; }

bool Connection::Connect(const char* clientName) {
  Release();
  const std::string key = ServerKey();
  {
    std::lock_guard lock(g_stuckMutex);
    auto it = g_stuck.find(key);
    if (it != g_stuck.end() && Clock::now() < it->second.until) return false;
  }
  {
    std::lock_guard lock(m_wakeMutex);
    m_loop = pa_mainloop_new();
  }
  if (!m_loop) return false;
  m_context = pa_context_new(pa_mainloop_get_api(m_loop), clientName);
  // No server of our own is ever started: the desktop runs one, or there is no sound.
  if (!m_context || pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    Release();
    return false;
  }
  const Clock::time_point deadline = Deadline();
  if (RunUntil([this] { return IsReady(); }, deadline)) {
    std::lock_guard lock(g_stuckMutex);
    g_stuck.erase(key);
    return true;
  }
  const bool stuck =
      !m_aborted.load() && PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)) && Clock::now() >= deadline;
  if (stuck) MarkServerStuck();
  Release();
  return false;
}

Clock::time_point Connection::StallDeadline() {
  return Clock::now() + std::max<std::chrono::milliseconds>(ServerTimeout(), kStallTimeout);
}

void Connection::MarkServerStuck() {
  std::lock_guard lock(g_stuckMutex);
  Stuck& s = g_stuck[ServerKey()];
  s.holdOff = s.holdOff.count() == 0 ? kFirstHoldOff : std::min(2 * s.holdOff, kLongestHoldOff);
  s.until = Clock::now() + s.holdOff;
}

bool Connection::RunUntil(const std::function<bool()>& done, Clock::time_point deadline) {
  if (!m_loop) return false;
  for (;;) {
    if (m_aborted.load()) return false;
    if (done()) return true;
    if (m_context && !PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context))) return false;
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    const int timeout = left.count() > INT_MAX ? INT_MAX : int(left.count());
    if (pa_mainloop_prepare(m_loop, timeout) < 0 || pa_mainloop_poll(m_loop) < 0 || pa_mainloop_dispatch(m_loop) < 0)
      return false;
  }
}

bool Connection::Wait(pa_operation* op, Clock::time_point deadline) {
  if (!op) return false;
  const bool ok = RunUntil([op] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; }, deadline) &&
                  pa_operation_get_state(op) == PA_OPERATION_DONE;
  if (pa_operation_get_state(op) == PA_OPERATION_RUNNING) pa_operation_cancel(op);
  pa_operation_unref(op);
  return ok;
}

void Connection::Abort() {
  m_aborted.store(true);
  std::lock_guard lock(m_wakeMutex);
  if (m_loop) pa_mainloop_wakeup(m_loop);
}

void Connection::Release() {
  if (m_context) {
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
  }
  std::lock_guard lock(m_wakeMutex);
  if (m_loop) {
    pa_mainloop_free(m_loop);
    m_loop = nullptr;
  }
}

}  // namespace pulse
