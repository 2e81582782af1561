#include "System.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>

uint32_t GetTickCount() {
  using namespace std::chrono;
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void ExitProcess(int code) {
  std::fflush(nullptr);
  std::_Exit(code);
}

namespace {
std::mutex g_endHookMutex;
std::function<void(int)> g_endHook;
}  // namespace

void EndProcess(int code) {
  std::function<void(int)> hook;
  {
    std::lock_guard lock(g_endHookMutex);
    hook = g_endHook;
  }
  if (hook)
    hook(code);
  else
    ExitProcess(code);
}

void SetEndProcessHook(std::function<void(int)> hook) {
  std::lock_guard lock(g_endHookMutex);
  g_endHook = std::move(hook);
}
