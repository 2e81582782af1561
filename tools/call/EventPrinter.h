#pragma once
// Prints what happens, one event at a time, with the seconds since the program started: as a line
// of text for a person, or (--json) as one JSON object per line for a script:
//
//      0.412  alerting       from 127.0.0.1:1720
//   {"time":0.412,"event":"alerting","from":"127.0.0.1:1720"}
//
// Every line is flushed at once, so that a script reading a pipe sees each step as it happens.
// Safe from any thread.

#include "tools/call/JsonWriter.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string_view>

namespace vantro::tool {

class EventPrinter {
 public:
  using Clock = std::chrono::steady_clock;

  // Text goes to out, errors (in text mode) to err.
  EventPrinter(std::FILE* out, std::FILE* err, bool json, Clock::time_point start = Clock::now());

  // An event: its name, the text a person reads (further lines, when it has any, are printed as
  // they are), and the fields a script reads.
  void Print(std::string_view event, std::string_view text, const JsonWriter& fields = JsonWriter());
  // A line of text without a time stamp (text mode only; nothing in JSON mode).
  void Line(std::string_view text);
  // Something that went wrong: "vantro-call: text" on the error stream, or an "error" event.
  void Error(std::string_view text);

  double SecondsSinceStart() const;
  bool Json() const { return json_; }

 private:
  std::FILE* out_;
  std::FILE* err_;
  const bool json_;
  const Clock::time_point start_;
  std::mutex mutex_;
};

}  // namespace vantro::tool
