#pragma once
// vantro-call run as a child process by a test, the way a script runs it: its output and errors in
// files of a folder, its exit code, signals to it, and its JSON lines (--json) picked apart.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

class ToolProcess {
 public:
  // Starts the program (VANTRO_CALL_PROGRAM) with args; its output goes to folder/name.out and .err.
  ToolProcess(const std::string& name, const std::vector<std::string>& args, const std::filesystem::path& folder);
  ~ToolProcess();  // kills it when it still runs
  ToolProcess(const ToolProcess&) = delete;
  ToolProcess& operator=(const ToolProcess&) = delete;

  std::string Errors() const;
  // The first line of the event that holds also, once it came; nullopt after limit.
  std::optional<std::string> WaitForEvent(const std::string& event, std::chrono::milliseconds limit,
                                          const std::string& also = "") const;
  std::vector<std::string> Events(const std::string& event) const;
  std::vector<std::string> EventNames() const;
  // The exit code, or nullopt when the program still runs after limit (or died of a signal).
  std::optional<int> Wait(std::chrono::milliseconds limit);
  void Signal(int signal);
  unsigned ListeningPort() const;  // of its "listening" event
  std::string Transcript() const;  // everything it printed, for failure messages

 private:
  std::vector<std::string> Lines() const;
  std::filesystem::path out_, err_;
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// The value of a member of a one-line JSON object: a string's text unescaped (only the escapes
// vantro-call writes for ASCII), an object's or a number's text as it stands. Empty when missing.
std::string JsonField(const std::string& json, const std::string& key);
