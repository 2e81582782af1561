#pragma once
// vantro-call run as a child process by a test, the way a script runs it: its output and errors in
// files of a folder, its exit code, signals to it, and its JSON lines (--json) picked apart.

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Programs.h"
#include "tests/support/TempDir.h"

// The value of a member of a one-line JSON object: a string's text unescaped (only the escapes
// vantro-call writes for ASCII), an object's or a number's text as it stands. Empty when missing.
inline std::string JsonField(const std::string& json, const std::string& key) {
  const std::string quoted = "\"" + key + "\":";
  std::size_t at = json.find(quoted);
  if (at == std::string::npos || (at += quoted.size()) >= json.size()) return "";
  if (json[at] == '"') {
    std::string text;
    for (std::size_t i = at + 1; i < json.size() && json[i] != '"'; ++i) {
      if (json[i] == '\\' && i + 1 < json.size()) {
        const char c = json[++i];
        text += c == 'n' ? '\n' : c == 't' ? '\t' : c;
      } else {
        text += json[i];
      }
    }
    return text;
  }
  if (json[at] == '{') {
    for (std::size_t i = at, depth = 0; i < json.size(); ++i) {
      depth += json[i] == '{';
      if (json[i] == '}' && --depth == 0) return json.substr(at, i - at + 1);
    }
    return "";
  }
  return json.substr(at, json.find_first_of(",}", at) - at);
}

class ToolProcess {
 public:
  // Starts the program (VANTRO_CALL_PROGRAM) with args; its output goes to folder/name.out and .err.
  ToolProcess(const std::string& name, const std::vector<std::string>& args, const std::filesystem::path& folder)
      : out_(folder / (name + ".out")), err_(folder / (name + ".err")) {
    std::vector<std::string> all{VANTRO_CALL_PROGRAM};
    all.insert(all.end(), args.begin(), args.end());
    pid_ = Spawn(all, CurrentEnvironment(), out_, {}, err_);
    if (pid_ <= 0) throw std::runtime_error("cannot start " + all[0]);
  }
  ~ToolProcess() {  // kills it when it still runs
    Signal(SIGKILL);
    if (!status_) ::waitpid(pid_, nullptr, 0);
  }
  ToolProcess(const ToolProcess&) = delete;
  ToolProcess& operator=(const ToolProcess&) = delete;

  std::string Errors() const { return ReadFileBytes(err_); }
  std::string Transcript() const { return "--- output\n" + ReadFileBytes(out_) + "--- errors\n" + Errors(); }

  std::vector<std::string> Events(const std::string& event) const {
    std::vector<std::string> found = Lines();
    std::erase_if(found, [&](const std::string& line) { return JsonField(line, "event") != event; });
    return found;
  }
  std::vector<std::string> EventNames() const {
    std::vector<std::string> names = Lines();
    for (auto& line : names) line = JsonField(line, "event");
    return names;
  }
  // The first line of the event that holds also, once it came; nullopt after limit.
  std::optional<std::string> WaitForEvent(const std::string& event, std::chrono::milliseconds limit,
                                          const std::string& also = "") const {
    for (const auto end = std::chrono::steady_clock::now() + limit;; Nap()) {
      for (const auto& line : Events(event))
        if (line.find(also) != std::string::npos) return line;
      if (std::chrono::steady_clock::now() >= end) return std::nullopt;
    }
  }
  unsigned ListeningPort() const {  // of its "listening" event
    const auto line = WaitForEvent("listening", std::chrono::seconds(10));
    return line ? static_cast<unsigned>(std::stoul("0" + JsonField(*line, "port"))) : 0;
  }

  // The exit code, or nullopt when the program still runs after limit (or died of a signal).
  std::optional<int> Wait(std::chrono::milliseconds limit) {
    for (const auto end = std::chrono::steady_clock::now() + limit; !status_; Nap()) {
      if (int status = 0; ::waitpid(pid_, &status, WNOHANG) == pid_)
        status_ = status;
      else if (std::chrono::steady_clock::now() >= end)
        return std::nullopt;
    }
    return WIFEXITED(*status_) ? std::optional(WEXITSTATUS(*status_)) : std::nullopt;
  }
  void Signal(int signal) {
    if (!status_) ::kill(pid_, signal);
  }

 private:
  static void Nap() { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::istringstream in(ReadFileBytes(out_));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  std::filesystem::path out_, err_;
  pid_t pid_ = -1;
  std::optional<int> status_;
};
