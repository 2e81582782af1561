#include "tools/call/EventPrinter.h"

#include <string>

namespace vantro::tool {

EventPrinter::EventPrinter(std::FILE* out, std::FILE* err, bool json, Clock::time_point start)
    : out_(out), err_(err), json_(json), start_(start) {}

double EventPrinter::SecondsSinceStart() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

void EventPrinter::Print(std::string_view event, std::string_view text, const JsonWriter& fields) {
  const double t = SecondsSinceStart();
  std::string line;
  if (json_) {
    JsonWriter object;
    object.Add("time", t).Add("event", event);
    // The fields follow "time" and "event" in the same object.
    std::string rest = fields.Text();
    line = object.Text();
    if (rest.size() > 2) line.insert(line.size() - 1, "," + rest.substr(1, rest.size() - 2));
    line += "\n";
  } else {
    char head[64];
    std::snprintf(head, sizeof head, "%9.3f  %-14s ", t, std::string(event).c_str());
    line = head;
    line += text;
    while (!line.empty() && line.back() == ' ') line.pop_back();
    line += "\n";
  }
  std::lock_guard lock(mutex_);
  std::fputs(line.c_str(), out_);
  std::fflush(out_);
}

void EventPrinter::Line(std::string_view text) {
  if (json_) return;
  std::lock_guard lock(mutex_);
  std::fprintf(out_, "%.*s\n", static_cast<int>(text.size()), text.data());
  std::fflush(out_);
}

void EventPrinter::Error(std::string_view text) {
  if (json_) {
    Print("error", text, JsonWriter().Add("message", text));
    return;
  }
  std::lock_guard lock(mutex_);
  std::fprintf(err_, "vantro-call: %.*s\n", static_cast<int>(text.size()), text.data());
  std::fflush(err_);
}

}  // namespace vantro::tool
