#pragma once

// Internal to runtime/: one connection to the sound server, driven by the calling thread with
// deadlines, so that no call into the sound layer waits longer than the server timeout for a server
// that has stopped answering. Include only from runtime's own sources.

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>

#include <pulse/context.h>
#include <pulse/mainloop.h>
#include <pulse/operation.h>

namespace pulse {

using Clock = std::chrono::steady_clock;

// How long one connection attempt or one request may take before it is given up.
std::chrono::milliseconds ServerTimeout();
void SetServerTimeout(std::chrono::milliseconds timeout);

class Connection {
 public:
  Connection() = default;
  ~Connection();

  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Connects to the server the environment names (PULSE_SERVER, the client configuration, or the
  // user's default), without starting one. Returns false when there is none or it does not answer
  // within the server timeout. After a server has once failed to answer, further attempts to the
  // same server fail at once for a while (10 s, doubling each time it is found stuck again), so a
  // stuck server costs the caller one timeout now and then, not one per call.
  bool Connect(const char* clientName);

  pa_mainloop* Loop() const { return m_loop; }
  pa_context* Context() const { return m_context; }
  bool IsReady() const;

  // Runs the main loop until done() answers true. False when the deadline passes first, when
  // Abort was called, or when the connection fails.
  bool RunUntil(const std::function<bool()>& done, Clock::time_point deadline);

  // Waits for an operation to finish (and releases it). False as for RunUntil, or when op is null.
  bool Wait(pa_operation* op, Clock::time_point deadline);

  // From any thread: makes a running or later RunUntil return false at once.
  void Abort();
  bool IsAborted() const { return m_aborted.load(); }

  // Deadline one server timeout from now.
  static Clock::time_point Deadline() { return Clock::now() + ServerTimeout(); }
  // Deadline for data to move on an open stream. Longer than the server timeout: a device that
  // has been idle may take a moment to run again (a virtual sink renders up to 2 s ahead).
  static Clock::time_point StallDeadline();

  // Records that the server stopped answering, as a connection attempt that times out does.
  static void MarkServerStuck();

 private:
  void Release();

  pa_mainloop* m_loop = nullptr;
  pa_context* m_context = nullptr;
  std::atomic<bool> m_aborted{false};
  std::mutex m_wakeMutex;  // guards m_loop against Abort from another thread during Release
};

}  // namespace pulse
