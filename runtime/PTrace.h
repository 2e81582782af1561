#pragma once
// Diagnostics of the stack and the runtime, in place of the runtime's trace output: a line per
// event, with a level (1 errors, 2 warnings and refusals, 3 call progress, 4 every message, 5 every
// packet) and the part of the program it comes from. Lines at or below the level go to the sink
// (standard error unless set). The level starts at the number in VANTRO_TRACE, 2 when unset.
//
//   PTRACE(2, "H225", "refused a call from " << address << ": not registered");
//
// Safe from any thread; the sink is called under a lock, one line at a time.

#include <functional>
#include <sstream>
#include <string>
#include <string_view>

namespace PTrace {

void SetLevel(unsigned level);
unsigned GetLevel();
inline bool CanTrace(unsigned level) { return level <= GetLevel(); }

using Sink = std::function<void(unsigned level, std::string_view component, std::string_view text)>;
// Replaces the sink; an empty one restores standard error.
void SetSink(Sink sink);

void Write(unsigned level, std::string_view component, std::string_view text);

}  // namespace PTrace

#define PTRACE(level, component, args)                     \
  do {                                                     \
    if (PTrace::CanTrace(level)) {                         \
      std::ostringstream ptrace_line_;                     \
      ptrace_line_ << args;                                \
      PTrace::Write(level, component, ptrace_line_.str()); \
    }                                                      \
  } while (0)
